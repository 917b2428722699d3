#pragma once

#include <string>

class CKContext;
class CKFile;
class CKObjectIDList;

// What qdxinfo tells of an engine file, from its loaded objects.

// Every object by class: one "<class> (<count>)" line per class, in the
// order the classes first appear, each followed by its objects' names.
std::string SummarizeEngineObjects(CKContext* context, CKObjectIDList& objects);
// A stable text, for golden comparisons: each object in file order with its
// class, name and, by class, what it saved (parents, world matrices to 6
// significant digits, visibility, camera, light, curve, group and level
// fields, scripts and their parameters, attributes). Object ids never
// appear.
std::string DumpEngineObjects(CKContext* context, CKObjectIDList& objects);

// The objects whose Load refused what a loaded file gave them: a line
// "refused (<count>)", then "  <class> \"<name>\": <reason>" for each, in
// load order; empty when none was refused.
std::string ListRefusedObjects(const CKFile& file);

// Loads the file into a fresh context (the exporter's plug-ins registered,
// the engine started and stopped around it when it is not running) and
// gives the summary, ended by the line "totals: " and the file's
// EngineTotalsText, or the dump, either followed by the refused objects;
// their count goes to refused when given. False, with the engine's error in
// text ("no such file" for a path where nothing is), when the file does not
// load.
bool DescribeEngineFile(const char* path, bool dump, std::string& text, int* refused = nullptr);
