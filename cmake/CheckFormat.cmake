# cmake -DROOT=<source dir> -DCLANG_FORMAT=<program> -P CheckFormat.cmake
# Fails when a source file differs from what .clang-format makes of it, and
# names each such file.
set(dirs platform includes system core readers render lod exporter tools tests bench fuzz)
set(files)
foreach(d IN LISTS dirs)
  file(GLOB_RECURSE found ${ROOT}/${d}/*.h ${ROOT}/${d}/*.cpp)
  list(APPEND files ${found})
endforeach()
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${files}
                WORKING_DIRECTORY ${ROOT} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  string(REGEX MATCHALL "[^\n]*: error: code should be clang-formatted" hits "${err}")
  list(TRANSFORM hits REPLACE ":[0-9]+:[0-9]+: error: code should be clang-formatted" "")
  list(REMOVE_DUPLICATES hits)
  foreach(h IN LISTS hits)
    message("not formatted: ${h}")
  endforeach()
  message(FATAL_ERROR "run: clang-format -i <file> (see .clang-format)")
endif()
