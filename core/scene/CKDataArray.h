#pragma once

#include "core/object/CKBeObject.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"

class CKParameter;

// Chunk identifiers of a data array's sections.
enum : CKDWORD
{
    CK_STATESAVE_DATAARRAYFORMAT = 0x1000,
    CK_STATESAVE_DATAARRAYDATA = 0x2000,
    CK_STATESAVE_DATAARRAYMEMBERS = 0x4000,
};

// Column types, as the parameter enumeration "Array Column Type" names them.
enum CK_ARRAYTYPE : int
{
    CKARRAYTYPE_INT = 1,
    CKARRAYTYPE_FLOAT = 2,
    CKARRAYTYPE_STRING = 3,
    CKARRAYTYPE_OBJECT = 4,
    CKARRAYTYPE_PARAMETER = 5,
};

// Search operators, as the parameter enumeration "Comparison Operator" names
// them; the cell stands on the left.
enum CK_COMPOPERATOR : int
{
    CKEQUAL = 1,
    CKNOTEQUAL = 2,
    CKLESSTHAN = 3,
    CKLESSOREQUAL = 4,
    CKGREATERTHAN = 5,
    CKGREATEROREQUAL = 6,
};

// One cell: by its column's type a signed integer, a float, an owned text
// (null for none), an object id or a parameter (owned when its owner is the
// array). Files hold 32 bits per cell; texts and parameters go by content.
union CKDataCell
{
    int Int;
    float Float;
    char* String;
    CK_ID Object;
    CKParameter* Parameter;
};

typedef XArray<CKDataCell> CKDataRow;

// Orders two rows by the process-wide sort column and direction: 0 when
// equal; with the direction set, positive when b's cell is the greater.
typedef int (*CKArraySortFunction)(const CKDataRow* a, const CKDataRow* b);
// True when the row's cell in the process-wide search column stands in the
// process-wide operator's relation to the reference value.
typedef CKBOOL (*CKArraySearchFunction)(const CKDataRow* row);

struct CKDataColumnFormat
{
    XString Name;
    int Type = 0;
    CKGUID ParameterType; // parameter columns only
    CKArraySortFunction Compare = nullptr;
    CKArraySearchFunction Test = nullptr;
};

// A table of typed columns and rows kept as an engine object. It saves and
// loads its cells, keeps the objects and parameters its cells name alive
// through the dependency machinery, and offers for each column a comparator
// and a search test.
class CKDataArray : public CKClass<CKDataArray, CKBeObject, CKCID_DATAARRAY>
{
public:
    explicit CKDataArray(CKContext* context, const char* name = nullptr);
    // Frees rows and columns; owned parameters are left to the context
    // (which destroys them with their owner or at a full clear).
    ~CKDataArray() override;

    // Columns and rows.
    int GetColumnCount() const { return m_Columns.Size(); }
    // 0 outside the columns.
    int GetColumnType(int column) const;
    // Null outside the columns.
    const CKDataColumnFormat* GetColumnFormat(int column) const;
    // Appends a column (type 1 to 5; a parameter column names its type) and
    // gives every row an empty cell (a new owned parameter for a parameter
    // column). The index; -1 for an unknown type or parameter type.
    int AddColumn(const char* name, int type, CKGUID parameterType = CKGUID());
    int GetRowCount() const { return m_Rows.Size(); }
    // Null outside the rows.
    CKDataRow* GetRow(int row) const { return row >= 0 && row < m_Rows.Size() ? m_Rows[row] : nullptr; }
    // Appends a row of empty cells (new owned parameters in parameter
    // columns); the row.
    CKDataRow* AddRow();
    // Null when either index is outside.
    CKDataCell* GetElement(int row, int column) const;
    // 0 when the cell does not exist; else its value into buffer (a
    // parameter's value through GetValue, a text cell its pointer, any other
    // cell its 32 bits) and 1.
    int GetElementValue(int row, int column, void* buffer) const;
    // A text cell gets a copy of text (null: none); FALSE for another cell.
    CKBOOL SetElementString(int row, int column, const char* text);
    // Frees every row and the columns; with destroyParameters, destroys the
    // parameters the array owns first (one call, flags 3).
    void Clear(CKBOOL destroyParameters = TRUE);

    // The three settings words saved with the array.
    int GetKeyColumn() const { return m_KeyColumn; }
    void SetKeyColumn(int column) { m_KeyColumn = column; }
    CKDWORD GetSettings(int index) const { return m_Settings[index & 1]; }
    void SetSettings(int index, CKDWORD value) { m_Settings[index & 1] = value; }

    // Process-wide settings of the comparators (column 0, direction set at
    // start) and the search tests (column 0, operator 1, no reference).
    static void SetSortSettings(int column, CKBOOL direction);
    // The reference's bytes are not copied: they must outlive the searches.
    static void SetSearchSettings(int column, int op, const void* reference, int size);

    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk. Unknown column types, counts that the chunk
    // cannot hold and parameter cells that name no parameter are refused
    // with one log line (what was read stays, the rest is empty).
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PostLoad() override;
    // Parameters the array owns that outlive it forget their owner.
    void PreDelete() override;
    // A parameter cell whose parameter goes gets a copy of its value.
    void CheckPreDeletion() override;
    void CheckPostDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static void Register();
    static const char* GetClassName();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

private:
    // A new parameter of the column's type owned by the array (dynamic when
    // the array is).
    CKParameter* NewCellParameter(CKGUID type);
    CKBOOL OwnsParameter(const CKParameter* parameter) const;
    // Frees the rows (texts freed), leaving parameters alone.
    void FreeRows();
    // False when the columns were refused.
    bool ReadColumns(CKStateChunk* chunk);
    void ReadRows(CKStateChunk* chunk, CKFile* file);

    XClassArray<CKDataColumnFormat> m_Columns;
    XArray<CKDataRow*> m_Rows;
    int m_KeyColumn = -1;
    CKDWORD m_Settings[2] = {0, 0};
};

// The comparators and search tests of a column type (object columns use
// the integer ones); null for an unknown type.
CKArraySortFunction CKGetArraySortFunction(int type);
CKArraySearchFunction CKGetArraySearchFunction(int type);
