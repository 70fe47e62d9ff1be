# libmad from the Debian package (libmad0-dev), with its allocations routed to the firmware's
# mp3_malloc, mp3_calloc and mp3_free: a copy of the static library in the build tree has its
# references to malloc, calloc and free renamed (objcopy --redefine-sym), so that only libmad's
# own calls take the hooks. Gives the imported target `mad_hooked` and MAD_INCLUDE_DIR.
if(NOT TARGET mad_hooked)
  find_path(MAD_INCLUDE_DIR mad.h REQUIRED)
  find_library(MAD_STATIC_LIBRARY NAMES libmad.a REQUIRED)
  find_program(SHAPEPLAY_OBJCOPY NAMES objcopy ${CMAKE_OBJCOPY} REQUIRED)
  set(MAD_HOOKED_LIBRARY ${CMAKE_BINARY_DIR}/libmad_hooked.a)
  add_custom_command(OUTPUT ${MAD_HOOKED_LIBRARY}
    COMMAND ${SHAPEPLAY_OBJCOPY} --redefine-sym malloc=mp3_malloc --redefine-sym calloc=mp3_calloc
            --redefine-sym free=mp3_free ${MAD_STATIC_LIBRARY} ${MAD_HOOKED_LIBRARY}
    DEPENDS ${MAD_STATIC_LIBRARY}
    COMMENT "libmad with its allocations through mp3_malloc, mp3_calloc, mp3_free")
  add_custom_target(mad_hooked_archive DEPENDS ${MAD_HOOKED_LIBRARY})
  add_library(mad_hooked STATIC IMPORTED GLOBAL)
  set_target_properties(mad_hooked PROPERTIES IMPORTED_LOCATION ${MAD_HOOKED_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${MAD_INCLUDE_DIR})
  add_dependencies(mad_hooked mad_hooked_archive)
endif()
