# cmake -DROOT=<source dir> -P CheckFileNames.cmake
# Fails when a source, script or document names an engine file with an
# extension that is not one of this system's own (.qdx objects, .qbx
# compositions, .qfx player files, .qhx scripts). The engine saves and
# loads whatever the name, so a foreign one in a test or a benchmark would
# go unnoticed otherwise.
set(folders platform includes system core readers render lod exporter tools tests bench fuzz samples docs scripts
            cmake .ci)
set(files)
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE found ${ROOT}/${folder}/*)
  list(APPEND files ${found})
endforeach()
list(APPEND files ${ROOT}/README.md ${ROOT}/CMakeLists.txt)
set(bad 0)
foreach(f IN LISTS files)
  # Text only: the seeds and pictures are bytes, and fuzz/corpus holds
  # what the fuzzers made of them.
  if(f MATCHES "/fuzz/corpus/" OR NOT (f MATCHES "\\.(h|cpp|cmake|md|txt|json)$" OR f MATCHES "/(scripts|\\.ci)/"))
    continue()
  endif()
  file(STRINGS ${f} lines REGEX "\\.[a-zA-Z][mM][oO]([^a-zA-Z0-9_]|$)")
  foreach(line IN LISTS lines)
    file(RELATIVE_PATH name ${ROOT} ${f})
    string(STRIP "${line}" line)
    message("${name}: names a file with an extension that is not the system's own: ${line}")
    math(EXPR bad "${bad} + 1")
  endforeach()
endforeach()
if(bad GREATER 0)
  message(FATAL_ERROR "${bad} line(s) name engine files with a foreign extension")
endif()
