# kov_effect_bundle(<target> BUNDLE_DIR <folder> INFO_PLIST <file> [MODULE_NAME <name>]
#                   [RESOURCES <folder>] SOURCES <files>...)
# Builds an effect bundle: the shared module <name>.so (<target>.so by default; it must be the
# registration's CFBundleExecutable) in <folder> with only its principal-class entry exported,
# the registration copied beside it as Info.plist, and a Resources folder (a copy of RESOURCES
# when given). Link the module's own libraries with target_link_libraries as usual.
#
# The module uses the host's platform libraries, never copies of its own: while they are static
# libraries the module links none of them and the host program exports their symbols
# (ENABLE_EXPORTS); once they are shared, the module links them.
function(kov_effect_bundle target)
  cmake_parse_arguments(ARG "" "BUNDLE_DIR;INFO_PLIST;MODULE_NAME;RESOURCES" "SOURCES" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  set_target_properties(${target} PROPERTIES
    PREFIX "" LIBRARY_OUTPUT_DIRECTORY "${ARG_BUNDLE_DIR}"
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(ARG_MODULE_NAME)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME "${ARG_MODULE_NAME}")
  endif()
  target_link_libraries(${target} PRIVATE kov_warnings)
  get_target_property(_platform_type platform_audiotoolbox TYPE)
  if(_platform_type STREQUAL "SHARED_LIBRARY")
    target_link_libraries(${target} PRIVATE platform_audiotoolbox)
  else()
    target_include_directories(${target} PRIVATE
      "$<TARGET_PROPERTY:platform_audiotoolbox,INTERFACE_INCLUDE_DIRECTORIES>")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -E copy "${ARG_INFO_PLIST}" "${ARG_BUNDLE_DIR}/Info.plist"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${ARG_BUNDLE_DIR}/Resources"
    VERBATIM)
  if(ARG_RESOURCES)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND "${CMAKE_COMMAND}" -E copy_directory "${ARG_RESOURCES}" "${ARG_BUNDLE_DIR}/Resources"
      VERBATIM)
  endif()
endfunction()
