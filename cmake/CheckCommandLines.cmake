# cmake -DROOT=<source dir> -DQDXEXPORT=<qdxexport> -DQDXINFO=<qdxinfo> -P CheckCommandLines.cmake
# Runs the two command-line programs as a user does and fails unless each
# case gives its exit code and its first line: what their own main adds to
# the logic the test suites run in process.
set(bad 0)
# check(<expected exit code> <stream: OUT or ERR> <regular expression> <command...>)
function(check code stream pattern)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(stream STREQUAL "OUT")
    set(text "${out}")
  else()
    set(text "${err}")
  endif()
  if(NOT rc EQUAL code OR NOT text MATCHES "${pattern}")
    message("${ARGN}: exit ${rc} (wanted ${code})\nstdout: ${out}\nstderr: ${err}\nwanted: ${pattern}")
    math(EXPR bad "${bad} + 1")
    set(bad ${bad} PARENT_SCOPE)
  endif()
endfunction()

check(0 OUT "^usage: qdxinfo FILE \\[--dump\\]\n.*\ntotals: <n> objects, <n> meshes, <n> vertices, <n> faces, <n> materials, <n> textures, <n> animation keys\n"
      ${QDXINFO} --help)
check(1 ERR "^qdxinfo: /nonexistent/x.qdx: no such file\n$" ${QDXINFO} /nonexistent/x.qdx)
check(2 ERR "^usage: qdxinfo" ${QDXINFO})
check(2 ERR "^qdxinfo: unknown option --bogus\nusage: qdxinfo FILE \\[--dump\\]\n$" ${QDXINFO} --bogus)
check(2 ERR "^qdxinfo: too many arguments: \"b.qdx\"\nusage: qdxinfo" ${QDXINFO} a.qdx b.qdx)
check(2 ERR "^qdxinfo: the file is a folder: \"${ROOT}/samples\"\n$" ${QDXINFO} ${ROOT}/samples)
check(0 OUT "^usage: qdxexport .*\n  convertToSkin +BOOL +true\n.*\n  ForceSkinToMorph +BOOL +false\n$" ${QDXEXPORT} --help)
check(2 ERR "^qdxexport: the output file must be a name ending in .qdx, .qbx or .qfx: \".qdx\""
      ${QDXEXPORT} ${ROOT}/samples/scene.json .qdx)
if(bad GREATER 0)
  message(FATAL_ERROR "${bad} command line case(s) failed")
endif()
