# Wayland clients: libwayland-client, and the client code of a protocol that wayland-scanner writes
# from its XML at build time.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(TESMAR_WAYLAND_SCANNER wayland-scanner wayland_scanner)
pkg_get_variable(TESMAR_WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
if(NOT TESMAR_WAYLAND_SCANNER OR NOT TESMAR_WAYLAND_PROTOCOLS_DIR)
  message(FATAL_ERROR "wayland-scanner and wayland-protocols are needed: bash scripts/install-deps.sh")
endif()

# tesmar_wayland_protocols(TARGET XML...): the target gets each protocol's header and code.
function(tesmar_wayland_protocols target)
  foreach(xml IN LISTS ARGN)
    get_filename_component(name ${xml} NAME_WE)
    set(header ${CMAKE_CURRENT_BINARY_DIR}/${name}-client-protocol.h)
    set(code ${CMAKE_CURRENT_BINARY_DIR}/${name}-protocol.c)
    add_custom_command(OUTPUT ${header} COMMAND ${TESMAR_WAYLAND_SCANNER} client-header ${xml} ${header}
                       DEPENDS ${xml} VERBATIM)
    add_custom_command(OUTPUT ${code} COMMAND ${TESMAR_WAYLAND_SCANNER} private-code ${xml} ${code}
                       DEPENDS ${xml} VERBATIM)
    target_sources(${target} PRIVATE ${header} ${code})
  endforeach()
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
  target_link_libraries(${target} PRIVATE PkgConfig::WAYLAND_CLIENT)
endfunction()
