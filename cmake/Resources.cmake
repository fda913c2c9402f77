# Form resources compiled into the program.
#
# orvex_add_form_resources(<target> <file.dfm>...)
#
# Each text file becomes a generated source that registers the text under the
# class name of its top object ("object Calculadora: TCalculadora" gives
# "TCalculadora"), with the file's own name kept for error messages;
# FindFormResource (platform/classes/filer.h) looks it up, and a form class's
# InitInheritedComponent finds its resource by its class name.
#
# The registration is a static object, which a static library would drop when
# nothing refers to it: for an executable the sources are compiled into it;
# for a library they go into an object library whose object files are linked
# into every executable that links the library.

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED ORVEX_RESOURCE_INPUT)
  # Script mode: turn one resource file into a C++ source.
  get_filename_component(file_name "${ORVEX_RESOURCE_INPUT}" NAME)
  file(STRINGS "${ORVEX_RESOURCE_INPUT}" lines LIMIT_COUNT 20)
  set(class_name "")
  foreach(line IN LISTS lines)
    if(line MATCHES "(object|inherited|inline|OBJECT|INHERITED|INLINE|Object|Inherited|Inline)[ \t]+([A-Za-z_][A-Za-z0-9_]*)([ \t]*:[ \t]*([A-Za-z_][A-Za-z0-9_]*))?")
      if(CMAKE_MATCH_4)
        set(class_name "${CMAKE_MATCH_4}")
      else()
        set(class_name "${CMAKE_MATCH_2}")
      endif()
      break()
    elseif(NOT line MATCHES "^[ \t]*$")
      break()
    endif()
  endforeach()
  if(class_name STREQUAL "")
    message(FATAL_ERROR "${ORVEX_RESOURCE_INPUT}: the resource does not begin with 'object Name: TClass'")
  endif()
  file(READ "${ORVEX_RESOURCE_INPUT}" bytes HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
  file(WRITE "${ORVEX_RESOURCE_OUTPUT}"
    "// Generated from ${file_name} by cmake/Resources.cmake.\n"
    "#include \"platform/classes/filer.h\"\n\n"
    "namespace {\n"
    "const unsigned char text[] = {\n    ${bytes}0x00};\n"
    "const TFormResourceRegistrar registrar(\"${class_name}\", \"${file_name}\",\n"
    "    std::string_view(reinterpret_cast<const char *>(text), sizeof text - 1));\n"
    "} // namespace\n")
  return()
endif()

set(ORVEX_RESOURCES_SCRIPT "${CMAKE_CURRENT_LIST_FILE}")

function(orvex_add_form_resources target)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "orvex_add_form_resources: no target ${target}")
  endif()
  set(generated)
  foreach(file IN LISTS ARGN)
    get_filename_component(input "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    get_filename_component(name "${file}" NAME)
    string(MAKE_C_IDENTIFIER "${name}" ident)
    set(output "${CMAKE_CURRENT_BINARY_DIR}/form_resources/${target}_${ident}.cpp")
    add_custom_command(OUTPUT "${output}"
      COMMAND ${CMAKE_COMMAND} -DORVEX_RESOURCE_INPUT=${input} -DORVEX_RESOURCE_OUTPUT=${output}
              -P ${ORVEX_RESOURCES_SCRIPT}
      DEPENDS "${input}" "${ORVEX_RESOURCES_SCRIPT}"
      COMMENT "Embedding form resource ${name}"
      VERBATIM)
    list(APPEND generated "${output}")
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_sources(${target} PRIVATE ${generated})
    target_link_libraries(${target} PRIVATE platform_classes)
  else()
    set(objects ${target}_form_resources)
    set(n 1)
    while(TARGET ${objects})
      math(EXPR n "${n} + 1")
      set(objects ${target}_form_resources${n})
    endwhile()
    add_library(${objects} OBJECT ${generated})
    target_link_libraries(${objects} PRIVATE platform_classes)
    target_link_libraries(${target} INTERFACE $<TARGET_OBJECTS:${objects}>)
    add_dependencies(${target} ${objects})
  endif()
endfunction()
