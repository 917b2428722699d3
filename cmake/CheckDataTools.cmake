# cmake -DROOT=<source dir> -DSEEDS=<write_fuzz_seeds> -DCORPUS=<dump_reader_corpus>
#       -DOUT=<scratch folder> -P CheckDataTools.cmake
# Runs the two data tools into a scratch folder (removed afterwards) and fails
# unless both succeed and still write every committed file that came from
# them: the generated fuzz seeds, byte for byte (every seed written is
# committed as written, and the targets listed below hold no other seed),
# and the pictures behind the committed reference decodes.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/seeds ${OUT}/corpus)
set(bad 0)
set(ENV{FUZZ_SEEDS_OUT} ${OUT}/seeds)
execute_process(COMMAND ${SEEDS} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message("write_fuzz_seeds failed (${rc}):\n${out}")
  math(EXPR bad "${bad} + 1")
endif()
set(ENV{READERS_CORPUS_OUT} ${OUT}/corpus)
execute_process(COMMAND ${CORPUS} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message("dump_reader_corpus failed (${rc}):\n${out}")
  math(EXPR bad "${bad} + 1")
endif()

file(GLOB_RECURSE seeds RELATIVE ${OUT}/seeds ${OUT}/seeds/*)
foreach(seed IN LISTS seeds)
  if(NOT EXISTS ${ROOT}/fuzz/corpus/${seed})
    message("fuzz/corpus/${seed}: written but not committed")
    math(EXPR bad "${bad} + 1")
  else()
    file(SHA256 ${ROOT}/fuzz/corpus/${seed} committed)
    file(SHA256 ${OUT}/seeds/${seed} written)
    if(NOT committed STREQUAL written)
      message("fuzz/corpus/${seed}: the committed bytes differ from those written")
      math(EXPR bad "${bad} + 1")
    endif()
  endif()
endforeach()

foreach(target bmp tga pcx jpeg png tiff dds avi dct material_chunk sprite_chunk entity3d mesh_chunk mesh_channels
               content_chunk animation_chunk animation_export behavior_chunk scene_chunk cloud_chunk cloud_ascii
               cloud_attributes block_chunks mesh_blocks)
  file(GLOB committed RELATIVE ${ROOT}/fuzz/corpus/${target} ${ROOT}/fuzz/corpus/${target}/*)
  file(GLOB written RELATIVE ${OUT}/seeds/${target} ${OUT}/seeds/${target}/*)
  if(NOT committed STREQUAL written)
    message("fuzz/corpus/${target}: committed [${committed}], written [${written}]")
    math(EXPR bad "${bad} + 1")
  endif()
endforeach()
file(GLOB references RELATIVE ${ROOT}/tests/readers/data/reference ${ROOT}/tests/readers/data/reference/*.pam)
foreach(reference IN LISTS references)
  string(REGEX REPLACE "\\.pam$" "" name ${reference})
  if(NOT EXISTS ${OUT}/corpus/${name} OR NOT EXISTS ${OUT}/corpus/${name}.expected.pam)
    message("tests/readers/data/reference/${reference}: ${name} and its expected pixels not written")
    math(EXPR bad "${bad} + 1")
  endif()
endforeach()

file(REMOVE_RECURSE ${OUT})
if(bad GREATER 0)
  message(FATAL_ERROR "${bad} problem(s) with the data tools")
endif()
