# The image codecs, the font library and the DXT codec are linked in from
# their static archives rather than loaded as shared libraries. Shared, they
# and the eleven libraries they pull in (libtiff's WebP, LERC, JBIG, zstd,
# LZMA and deflate codecs, freetype's brotli, libsquish's OpenMP runtime)
# were mapped and bound at every start of every program: 1.7 ms, a fifth of
# the export of a small model, though most runs never decode an image.
# ENGINE_STATIC_CODECS=OFF links the shared libraries as before.
option(ENGINE_STATIC_CODECS "Link the image codecs from their static archives" ON)

if(ENGINE_STATIC_CODECS)
  set(_engine_archives tiff webp Lerc jbig zstd lzma jpeg deflate png16 freetype brotlidec brotlicommon squish)
  foreach(name IN LISTS _engine_archives)
    find_library(ENGINE_ARCHIVE_${name} NAMES lib${name}.a)
    if(NOT ENGINE_ARCHIVE_${name})
      message(FATAL_ERROR "lib${name}.a is missing: install the -dev packages scripts/lib/common.sh lists, "
                          "or configure with -DENGINE_STATIC_CODECS=OFF")
    endif()
    mark_as_advanced(ENGINE_ARCHIVE_${name})
  endforeach()

  # engine_link_archive(<imported target> <archive> <what it needs>...)
  function(engine_link_archive target archive)
    foreach(config "" _RELEASE _DEBUG _RELWITHDEBINFO _MINSIZEREL _NOCONFIG)
      get_target_property(location ${target} IMPORTED_LOCATION${config})
      if(location OR config STREQUAL "")
        set_target_properties(${target} PROPERTIES IMPORTED_LOCATION${config} "${archive}")
      endif()
    endforeach()
    set_target_properties(${target} PROPERTIES INTERFACE_LINK_LIBRARIES "${ARGN}")
  endfunction()

  engine_link_archive(JPEG::JPEG ${ENGINE_ARCHIVE_jpeg})
  engine_link_archive(PNG::PNG ${ENGINE_ARCHIVE_png16} ZLIB::ZLIB m)
  engine_link_archive(TIFF::TIFF ${ENGINE_ARCHIVE_tiff} ${ENGINE_ARCHIVE_webp} ${ENGINE_ARCHIVE_Lerc}
                      ${ENGINE_ARCHIVE_jbig} ${ENGINE_ARCHIVE_zstd} ${ENGINE_ARCHIVE_lzma} JPEG::JPEG
                      ${ENGINE_ARCHIVE_deflate} ZLIB::ZLIB Threads::Threads m)
  engine_link_archive(Freetype::Freetype ${ENGINE_ARCHIVE_freetype} PNG::PNG ${ENGINE_ARCHIVE_brotlidec}
                      ${ENGINE_ARCHIVE_brotlicommon} ZLIB::ZLIB m)
  # libsquish spreads its work over an OpenMP team: its runtime stays shared.
  engine_link_archive(Squish::Squish ${ENGINE_ARCHIVE_squish} gomp)
endif()
