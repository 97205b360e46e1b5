# The Microsoft-ABI build of the shipped DLL and the stand-in host's DLLs: with Microsoft's
# own toolchain (preset msvc), or cross-built here with clang-cl and lld-link
# (cmake/clang-cl-x86_64-windows.cmake sets CORVANE_MSVC_CROSS).
include_guard(GLOBAL)

set(CORVANE_IMPORT_LIB_DIR ${CMAKE_BINARY_DIR}/import-libs)
file(MAKE_DIRECTORY ${CORVANE_IMPORT_LIB_DIR})

# corvane_import_library(NAME DEF): the import library NAME.lib made from the module-definition
# file DEF, which lists exactly what is imported, as the INTERFACE target import_NAME.
function(corvane_import_library name def)
  set(lib ${CORVANE_IMPORT_LIB_DIR}/${name}.lib)
  if(CORVANE_MSVC_CROSS)
    find_program(CORVANE_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
    set(command ${CORVANE_DLLTOOL} -m i386:x86-64 -d ${def} -l ${lib})
  else()
    set(command ${CMAKE_AR} /nologo /machine:x64 /def:${def} /out:${lib})
  endif()
  add_custom_command(OUTPUT ${lib} COMMAND ${command} DEPENDS ${def}
                     COMMENT "Import library ${name}.lib" VERBATIM)
  add_custom_target(import_${name}_lib DEPENDS ${lib})
  add_library(import_${name} INTERFACE)
  target_link_libraries(import_${name} INTERFACE ${lib})
  add_dependencies(import_${name} import_${name}_lib)
endfunction()

# What every DLL of this build gets: debug information in a .pdb beside it, address-space
# layout randomisation with high entropy, a non-executable data segment and, on the cross
# build, the runtime support a Microsoft toolchain would link in.
function(corvane_msvc_dll target)
  target_link_options(${target} PRIVATE /MANIFEST:NO /DEBUG /INCREMENTAL:NO /OPT:REF /OPT:ICF
                      /DYNAMICBASE /HIGHENTROPYVA /NXCOMPAT)
  if(CORVANE_MSVC_CROSS)
    target_link_libraries(${target} PRIVATE corvane_system_imports corvane_msvc_runtime)
  else()
    target_link_libraries(${target} PRIVATE kernel32 wininet ole32 oleaut32)
  endif()
endfunction()
