# velmora_add_resources(<target> <manifest>)
#
# Compiles the resources listed in <manifest> into <target> and registers
# them for the program's own module (FindResourceA(NULL, ...)) when the
# program starts.
#
# Manifest: one resource per line,
#   <type number> <resource number> <language hex> <file relative to the manifest>
# for example "2 111 0411 walker.bmp"; blank lines and lines starting with #
# are ignored. The files' bytes are embedded unchanged (.incbin), so the
# manifest decides the exact resource bytes.
#
# Registration runs from a static object: <target> must be linked as object
# files (an OBJECT library or an executable), or the linker drops it. The
# target links velmora_win32 for the registry.
function(velmora_add_resources target manifest)
  get_filename_component(manifest ${manifest} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(base ${manifest} DIRECTORY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manifest})
  file(STRINGS ${manifest} lines)

  set(asm "// Generated from ${manifest}: the resources' bytes.\n")
  string(APPEND asm "    .section .rodata\n")
  set(decls "")
  set(regs "")
  set(files "")
  set(index 0)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    if(NOT line MATCHES "^([0-9]+)[ \t]+([0-9]+)[ \t]+(0[xX])?([0-9A-Fa-f]+)[ \t]+(.+)$")
      message(FATAL_ERROR "${manifest}: cannot read resource line '${line}'")
    endif()
    set(type ${CMAKE_MATCH_1})
    set(number ${CMAKE_MATCH_2})
    set(lang ${CMAKE_MATCH_4})
    set(file ${CMAKE_MATCH_5})
    if(type GREATER 65535 OR number GREATER 65535 OR type EQUAL 0 OR number EQUAL 0)
      message(FATAL_ERROR "${manifest}: type and number must be 1..65535 in '${line}'")
    endif()
    get_filename_component(path ${file} ABSOLUTE BASE_DIR ${base})
    if(path MATCHES "[\"\\\\]")
      message(FATAL_ERROR "${manifest}: unusable file name '${file}'")
    endif()
    list(APPEND files ${path})
    set(sym velmora_res_${target}_${index})
    string(APPEND asm "    .balign 16\n    .globl ${sym}_begin\n${sym}_begin:\n    .incbin \"${path}\"\n")
    string(APPEND asm "    .globl ${sym}_end\n${sym}_end:\n")
    string(APPEND decls "extern const unsigned char ${sym}_begin[];\nextern const unsigned char ${sym}_end[];\n")
    string(APPEND regs "    platform::RegisterResource(nullptr, MAKEINTRESOURCEA(${type}), MAKEINTRESOURCEA(${number}), 0x${lang},\n")
    string(APPEND regs "                               ${sym}_begin, static_cast<DWORD>(${sym}_end - ${sym}_begin));\n")
    math(EXPR index "${index} + 1")
  endforeach()
  string(APPEND asm "    .section .note.GNU-stack,\"\",@progbits\n")

  set(cpp "// Generated from ${manifest}: registers the program's resources.\n")
  string(APPEND cpp "#include <windows.h>\n#include \"platform/win32/resource_registry.h\"\n\n")
  string(APPEND cpp "extern \"C\" {\n${decls}}\n\nnamespace {\nstruct Register {\n  Register() {\n${regs}  }\n};\n")
  string(APPEND cpp "const Register registerResources;\n}  // namespace\n")

  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
  # Rewritten only when the text changes, so unchanged builds stay untouched.
  file(CONFIGURE OUTPUT ${out}.S CONTENT "${asm}" @ONLY)
  file(CONFIGURE OUTPUT ${out}.cpp CONTENT "${cpp}" @ONLY)
  set_source_files_properties(${out}.S PROPERTIES LANGUAGE ASM OBJECT_DEPENDS "${files}")
  target_sources(${target} PRIVATE ${out}.S ${out}.cpp)
  target_link_libraries(${target} PUBLIC velmora_win32)
  # The registry is the platform's own header: compile with velmora_win32's view.
  target_include_directories(${target} PRIVATE $<TARGET_PROPERTY:velmora_win32,INCLUDE_DIRECTORIES>)
endfunction()
