#include <cmath>
#include <cstring>
#include <vector>

#include "core/context/CKContext.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/scene/CKDataArray.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/SceneGraphNode.h"
#include "render/objects/pointcloud/CloudAsciiFile.h"
#include "render/objects/pointcloud/CloudPointCodec.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "render/objects/pointcloud/RCloudSelection.h"
#include "system/io/QxMemoryMappedFile.h"

namespace {

constexpr float kEpsilon = 1.1920929e-7f;
// The shortest point line ("0 0 0" and a line feed): a header never sizes
// the attributes for more points than the file can hold.
constexpr size_t kShortestPointLine = 6;

bool Finite(const QxVector& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

QxVector Abs(const QxVector& v)
{
    return QxVector(std::fabs(v.x), std::fabs(v.y), std::fabs(v.z));
}

// The point lines of a file, in the arrays CreateFromBuffers takes.
struct PointArrays
{
    std::vector<QxVector> Positions;
    std::vector<QxVector> Normals;
    std::vector<CKDWORD> Colors;
    std::vector<CKBYTE> Intensities;
};

CKDWORD CellWord(const CKDataCell* cell)
{
    CKDWORD word = 0;
    if (cell)
        std::memcpy(&word, cell, sizeof(word));
    return word;
}

} // namespace

void RCK3dPointCloud::StartSubdivision()
{
    m_Builder.Start(m_LocalBox.Min, m_LocalBox.Max - m_LocalBox.Min, m_Precision);
    m_Building = true;
    m_MaxDepth = 0;
    m_NextPointIndex = 0;
}

void RCK3dPointCloud::InsertPoint(const QxVector& position, CKDWORD color565, CKDWORD intensity, CKDWORD normalIndex)
{
    const int index = m_NextPointIndex;
    if (index >= CLOUD_MAXPOINTS)
        return;
    // Storage follows the points read, whatever a header announced.
    for (CloudAttribute& a : m_Attributes) {
        if (!a.Enabled)
            continue;
        const size_t needed = a.ByteSizeFor(index + 1);
        if (needed > a.Data.size())
            a.Data.resize(needed > 2 * a.Data.size() ? needed : 2 * a.Data.size(), 0);
    }
    if (CloudAttribute* a = EnabledAttribute(CLOUD_ATTRIBUTE_NORMALS))
        a->Set(index, normalIndex);
    if (CloudAttribute* a = EnabledAttribute(CLOUD_ATTRIBUTE_INTENSITY))
        a->Set(index, intensity);
    if (CloudAttribute* a = EnabledAttribute(CLOUD_ATTRIBUTE_COLORS))
        a->Set(index, color565);
    m_Builder.Insert(position, (CKDWORD) index);
    m_MaxDepth = m_Builder.GetMaxDepth();
    ++m_NextPointIndex;
}

void RCK3dPointCloud::FinishCloud()
{
    m_PointCount = m_NextPointIndex;
    for (CloudAttribute& a : m_Attributes)
        if (a.Enabled)
            a.Data.resize(a.ByteSizeFor(m_PointCount), 0);
    m_LevelCounts[0] = m_PointCount;
    m_LevelCounts[1] = m_PointCount / 2;
    m_LevelCounts[2] = m_PointCount / 4;
    m_LevelCounts[3] = m_PointCount / 8;
    m_CloudFlags |= CLOUD_REBUILDLEVELS;
    m_PickingRadius = QxMagnitude(m_LocalBox.Max - m_LocalBox.Min) / 1000.0f;
    m_MaxDepth = m_Builder.Finish(m_Tree);
    m_RunIndex.Clear();
    m_FillPlan.Clear();
    m_Building = false;
    m_SubdivisionBytes = (int) m_Tree.GetBytes();
}

void RCK3dPointCloud::PointsReplaced()
{
    m_MoveableFlags |= CK_3DENTITY_USERBOX | CK_3DENTITY_BOXVALID;
    if (m_SceneGraphNode)
        m_SceneGraphNode->InvalidateBox();
    UpdateBox(TRUE);
    InvalidateSelections();
    Show(CKSHOW);
}

CKBOOL RCK3dPointCloud::CreateFromBuffers(int count, const QxVector* positions, const QxVector* normals,
                                          const CKDWORD* colors, const CKBYTE* intensities, QxVector& precision)
{
    if (count < 0 || count > CLOUD_MAXPOINTS || (count > 0 && !positions))
        return FALSE;
    Clear(1, TRUE);
    m_Profiler.Reset();
    m_Rescale = m_InverseRescale = 1.0f;
    m_Translation = QxVector();

    QxBbox box(QxVector(1000000.0f, 1000000.0f, 1000000.0f), QxVector(-1000000.0f, -1000000.0f, -1000000.0f));
    bool any = false;
    for (int i = 0; i < count; ++i)
        if (Finite(positions[i])) {
            box.Merge(positions[i]);
            any = true;
        }
    m_LocalBox = any ? box : QxBbox();
    const QxVector size = m_LocalBox.Max - m_LocalBox.Min;
    if (!(QxMagnitude(precision) >= kEpsilon)) {
        RCKRenderManager* manager = CloudRenderManager();
        const float factor = manager ? manager->GetSettings().PointsDefaultPrecision : 5e-6f;
        precision = size * factor;
    }
    m_Precision = Abs(precision);

    UseNormals(normals != nullptr);
    UseColors(colors != nullptr);
    EnableAttribute(CLOUD_ATTRIBUTE_INTENSITY, intensities != nullptr);
    SizeAttributes(count);
    StartSubdivision();
    for (int i = 0; i < count; ++i)
        InsertPoint(positions[i], colors ? CloudColorTo565(colors[i]) : 0, intensities ? intensities[i] : 0,
                    normals ? CloudNormalIndex(normals[i]) : 0);
    FinishCloud();
    PointsReplaced();
    return TRUE;
}

CKBOOL RCK3dPointCloud::CreateFromAsciiFile(const char* fileName)
{
    if (!fileName)
        return FALSE;
    Clear(1, TRUE);
    m_RawPoints.clear();
    m_Rescale = m_InverseRescale = 1.0f;
    m_Translation = QxVector();

    XString descName(fileName);
    descName += ".desc";
    CloudDescHeader header;
    bool withHeader = false;
    {
        QxMemoryMappedFile desc(descName.CStr());
        if (!desc.IsValid()) {
            if (m_Context)
                m_Context->OutputToConsoleEx("Warning : No .Desc File found :%s, loading cloud in two steps",
                                             descName.CStr());
        } else if (!CloudReadDescHeader(static_cast<const char*>(desc.GetBase()), desc.GetFileSize(), header)) {
            if (m_Context)
                m_Context->OutputToConsoleEx("Warning : Invalid .Desc File :%s, loading cloud in two steps",
                                             descName.CStr());
        } else {
            withHeader = true;
        }
    }

    QxMemoryMappedFile file(fileName);
    const char* data = file.IsValid() ? static_cast<const char*>(file.GetBase()) : nullptr;
    const size_t size = data ? file.GetFileSize() : 0;
    const int format = CloudDetectAsciiFormat(data, size);
    if (format == CLOUD_ASCII_REFUSED) {
        if (m_Context)
            m_Context->OutputToConsoleEx("Invalid Asc File:%s", fileName);
        return FALSE;
    }
    const CloudAsciiFormat& layout = CloudAsciiFormatOf(format);
    UseNormals(FALSE);
    UseColors(FALSE);
    EnableAttribute(CLOUD_ATTRIBUTE_INTENSITY, FALSE);
    UseNormals(layout.Normals);
    UseColors(layout.Colors);
    EnableAttribute(CLOUD_ATTRIBUTE_INTENSITY, layout.Intensity);

    const char* end = data + size;
    CloudAsciiPoint point;
    if (withHeader) {
        m_Translation = header.Translate;
        m_Rescale = header.Rescale;
        m_InverseRescale = 1.0f / header.Rescale;
        QxBbox box;
        box.Min = (header.BoxMin + m_Translation) * m_Rescale;
        box.Max = box.Min;
        box.Merge((header.BoxMax + m_Translation) * m_Rescale);
        m_LocalBox = box;
        m_Precision = Abs(header.Precision * m_Rescale);
        const size_t announced = (size_t) header.Points;
        const size_t possible = size / kShortestPointLine + 1;
        SizeAttributes((int) (announced < possible ? announced : possible));
        StartSubdivision();
        // Points outside the announced box would lose their place: such a
        // file is read again in two steps.
        const QxVector slack = m_Precision;
        const QxBbox accepted(box.Min - slack, box.Max + slack);
        bool inside = true;
        const char* cursor = data;
        while (m_NextPointIndex < CLOUD_MAXPOINTS && CloudReadAsciiPoint(cursor, end, format, point) > 0) {
            const QxVector p = (point.Position + m_Translation) * m_Rescale;
            if (!accepted.VectorIn(p)) {
                inside = false;
                break;
            }
            InsertPoint(p, CloudColorTo565(point.Color), point.Intensity, CloudNormalIndex(point.Normal));
        }
        if (inside) {
            FinishCloud();
            PointsReplaced();
            return TRUE;
        }
        if (m_Context)
            m_Context->OutputToConsoleEx("Warning : Points outside the box of %s, loading cloud in two steps",
                                         descName.CStr());
        m_Builder.Clear();
        m_Building = false;
    }

    PointArrays arrays;
    const char* cursor = data;
    while ((int) arrays.Positions.size() < CLOUD_MAXPOINTS && CloudReadAsciiPoint(cursor, end, format, point) > 0) {
        arrays.Positions.push_back(withHeader ? (point.Position + m_Translation) * m_Rescale : point.Position);
        if (layout.Normals)
            arrays.Normals.push_back(point.Normal);
        if (layout.Colors)
            arrays.Colors.push_back(point.Color);
        if (layout.Intensity)
            arrays.Intensities.push_back((CKBYTE) point.Intensity);
    }
    const QxVector translation = m_Translation;
    const float rescale = m_Rescale;
    QxVector precision = withHeader ? m_Precision : QxVector();
    const CKBOOL built = CreateFromBuffers((int) arrays.Positions.size(), arrays.Positions.data(),
                                           layout.Normals ? arrays.Normals.data() : nullptr,
                                           layout.Colors ? arrays.Colors.data() : nullptr,
                                           layout.Intensity ? arrays.Intensities.data() : nullptr, precision);
    m_Translation = translation;
    m_Rescale = rescale;
    m_InverseRescale = 1.0f / rescale;
    return built;
}

CKBOOL RCK3dPointCloud::CreateFromArray(CKDataArray* array, int column, int secondColumn, int thirdColumn)
{
    if (!array || array->GetRowCount() <= 0)
        return FALSE;
    const int rows = array->GetRowCount();
    const int type = array->GetColumnType(column);
    const CKDataColumnFormat* format = array->GetColumnFormat(column);
    const bool floats = type == CKARRAYTYPE_FLOAT && array->GetColumnType(secondColumn) == CKARRAYTYPE_FLOAT &&
                        array->GetColumnType(thirdColumn) == CKARRAYTYPE_FLOAT;
    const bool vectors = type == CKARRAYTYPE_PARAMETER && format && format->ParameterType == CKPGUID_VECTOR;
    if (type != CKARRAYTYPE_STRING && !vectors && !floats) {
        if (m_Context)
            m_Context->OutputToConsole("Cloud::CreateFromArray : Unsupported data type in array (expecting floats , "
                                       "vector parameters or string)",
                                       TRUE);
        return FALSE;
    }
    std::vector<QxVector> positions((size_t) rows);
    for (int r = 0; r < rows; ++r) {
        QxVector& p = positions[r];
        if (type == CKARRAYTYPE_STRING) {
            const CKDataCell* cell = array->GetElement(r, column);
            const char* text = cell ? cell->String : nullptr;
            if (!text)
                continue;
            CloudScanValue v[3] = {};
            const char* cursor = text;
            CloudScan(cursor, text + std::strlen(text), "%f %f %f", v, 3);
            p = QxVector(v[0].f, v[2].f, v[1].f);
        } else if (vectors) {
            const CKDataCell* cell = array->GetElement(r, column);
            CKParameter* parameter = cell ? cell->Parameter : nullptr;
            if (parameter && parameter->GetDataSize() == (int) sizeof(QxVector))
                parameter->GetValue(&p);
        } else {
            const CKDWORD words[3] = {CellWord(array->GetElement(r, column)),
                                      CellWord(array->GetElement(r, secondColumn)),
                                      CellWord(array->GetElement(r, thirdColumn))};
            std::memcpy(&p.x, &words[0], 4);
            std::memcpy(&p.y, &words[1], 4);
            std::memcpy(&p.z, &words[2], 4);
        }
    }
    QxVector precision;
    return CreateFromBuffers(rows, positions.data(), nullptr, nullptr, nullptr, precision);
}

CKBOOL RCK3dPointCloud::LoadAttributesFromTextFile(int attribute, const char* fileName, float offset, float scale)
{
    CloudAttribute* a = EnabledAttribute(attribute);
    if (!a || !fileName)
        return FALSE;
    QxMemoryMappedFile file(fileName);
    if (!file.IsValid()) {
        if (m_Context)
            m_Context->OutputToConsoleEx("Cloud::LoadAttributesFromTextFile : Could not load %s", fileName);
        return FALSE;
    }
    const char* cursor = static_cast<const char*>(file.GetBase());
    const char* end = cursor + file.GetFileSize();
    const bool isFloat = a->Type == CLOUD_ATTRIBUTE_FLOAT;
    for (int i = 0; i < m_PointCount; ++i) {
        CloudScanValue v;
        if (CloudScan(cursor, end, isFloat ? "%f" : "%d", &v, 1) != 1)
            return FALSE;
        if (isFloat)
            a->SetFloat(i, (v.f + offset) * scale);
        else
            a->Set(i, (CKDWORD) v.i);
    }
    if (a->Flags & CLOUD_ATTRIBUTE_DRAWN) {
        InvalidateSelections();
        m_CloudFlags |= CLOUD_REFILLATTRIBUTES;
    }
    return TRUE;
}

CKBOOL RCK3dPointCloud::LoadAttributesFromArray(int attribute, CKDataArray* array, int column, float offset,
                                                float scale)
{
    CloudAttribute* a = EnabledAttribute(attribute);
    if (!a || !array || column < 0 || column >= array->GetColumnCount())
        return FALSE;
    const int rows = array->GetRowCount();
    if (rows != m_PointCount) {
        if (m_Context)
            m_Context->OutputToConsoleEx("Cloud::LoadAttributesFromArray : Array does not have the correct size (%d "
                                         "points instead of expected %d)",
                                         rows, m_PointCount);
        return FALSE;
    }
    const int type = array->GetColumnType(column);
    if (a->Type == CLOUD_ATTRIBUTE_INTEGER) {
        if (type != CKARRAYTYPE_INT && m_Context)
            m_Context->OutputToConsole("Cloud::LoadAttributesFromArray : Unsupported data type in array (expecting "
                                       "integers)",
                                       TRUE);
        for (int r = 0; r < rows; ++r)
            a->Set(r, CellWord(array->GetElement(r, column)));
    } else if (a->Type == CLOUD_ATTRIBUTE_FLOAT) {
        if (type != CKARRAYTYPE_FLOAT && m_Context)
            m_Context->OutputToConsole("Cloud::LoadAttributesFromArray : Unsupported data type in array (expecting "
                                       "floats)",
                                       TRUE);
        for (int r = 0; r < rows; ++r) {
            const CKDWORD word = CellWord(array->GetElement(r, column));
            float value;
            std::memcpy(&value, &word, 4);
            a->SetFloat(r, (value + offset) * scale);
        }
    } else {
        if (m_Context)
            m_Context->OutputToConsole("Cloud::LoadAttributesFromArray : Unsupported data type in array", TRUE);
        return FALSE;
    }
    if (a->Flags & CLOUD_ATTRIBUTE_DRAWN) {
        InvalidateSelections();
        m_CloudFlags |= CLOUD_REFILLATTRIBUTES;
    }
    return TRUE;
}
