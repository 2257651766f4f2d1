# tesmar.scr: the saver as one self-contained 32-bit GUI program with its resources.
function(tesmar_add_windows_program)
  if(NOT TARGET tesmar_app)
    message(STATUS "tesmar.scr is not built: app/ has no sources yet")
    return()
  endif()
  # The resources come with tesmar_platform.
  add_executable(tesmar.scr WIN32)
  set_target_properties(tesmar.scr PROPERTIES OUTPUT_NAME tesmar SUFFIX .scr)
  target_link_libraries(tesmar.scr PRIVATE tesmar_platform_entry tesmar_app tesmar_platform)
  target_link_options(tesmar.scr PRIVATE -static -static-libgcc -static-libstdc++ -mwindows
                      $<$<CONFIG:Release,MinSizeRel>:-s>)
endfunction()
