# Bitmaps compiled into the program.
#
# orvex_add_bitmap_resources(<target> <NAME> <file.png> [<NAME> <file.png>]...)
#
# Each image file becomes a generated source that registers its bytes under
# the resource name; TBitmap::LoadFromResourceName (platform/ui/graphics.h)
# finds it. As with form resources, the registrations of a library go into an
# object library that every executable linking the library takes whole.

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED ORVEX_BITMAP_INPUT)
  file(READ "${ORVEX_BITMAP_INPUT}" bytes HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
  get_filename_component(file_name "${ORVEX_BITMAP_INPUT}" NAME)
  file(WRITE "${ORVEX_BITMAP_OUTPUT}"
    "// Generated from ${file_name} by cmake/BitmapResources.cmake.\n"
    "#include \"platform/ui/graphics.h\"\n\n"
    "namespace {\n"
    "const unsigned char bytes[] = {\n    ${bytes}};\n"
    "const TBitmapResourceRegistrar registrar(\"${ORVEX_BITMAP_NAME}\",\n"
    "    std::string_view(reinterpret_cast<const char *>(bytes), sizeof bytes));\n"
    "} // namespace\n")
  return()
endif()

set(ORVEX_BITMAPS_SCRIPT "${CMAKE_CURRENT_LIST_FILE}")

function(orvex_add_bitmap_resources target)
  set(generated)
  set(args ${ARGN})
  list(LENGTH args count)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET args ${i} name)
    list(GET args ${j} file)
    get_filename_component(input "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    string(MAKE_C_IDENTIFIER "${name}" ident)
    set(output "${CMAKE_CURRENT_BINARY_DIR}/bitmap_resources/${target}_${ident}.cpp")
    add_custom_command(OUTPUT "${output}"
      COMMAND ${CMAKE_COMMAND} -DORVEX_BITMAP_INPUT=${input} -DORVEX_BITMAP_OUTPUT=${output}
              -DORVEX_BITMAP_NAME=${name} -P ${ORVEX_BITMAPS_SCRIPT}
      DEPENDS "${input}" "${ORVEX_BITMAPS_SCRIPT}"
      COMMENT "Embedding bitmap ${name}"
      VERBATIM)
    list(APPEND generated "${output}")
  endforeach()
  set(objects ${target}_bitmap_resources)
  # A library may name its bitmaps in several calls; they share one object library.
  if(TARGET ${objects})
    target_sources(${objects} PRIVATE ${generated})
    return()
  endif()
  add_library(${objects} OBJECT ${generated})
  target_link_libraries(${objects} PRIVATE platform_ui)
  target_link_libraries(${target} INTERFACE $<TARGET_OBJECTS:${objects}>)
  add_dependencies(${target} ${objects})
endfunction()
