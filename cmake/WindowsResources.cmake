# cc_windows_resources(<target> <description> <execution level>)
# Gives a Windows program its icon, version information and application manifest through a
# generated .rc file. The execution level is asInvoker or requireAdministrator. Nothing elsewhere.
function(cc_windows_resources target description level)
    if(NOT WIN32)
        return()
    endif()
    set(CC_WINDOWS_TARGET ${target})
    set(CC_WINDOWS_DESCRIPTION "${description}")
    set(CC_WINDOWS_EXECUTION_LEVEL ${level})
    set(CC_WINDOWS_ICON ${PROJECT_SOURCE_DIR}/resources/main.ico)
    set(generated ${CMAKE_CURRENT_BINARY_DIR}/windows-resources)
    set(CC_WINDOWS_MANIFEST ${generated}/${target}.manifest)
    configure_file(${PROJECT_SOURCE_DIR}/resources/windows/program.manifest.in
                   ${CC_WINDOWS_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/resources/windows/program.rc.in
                   ${generated}/${target}.rc @ONLY)
    target_sources(${target} PRIVATE ${generated}/${target}.rc)
    # The resource compiler does not see these files as dependencies of the .rc file.
    set_source_files_properties(${generated}/${target}.rc PROPERTIES
        OBJECT_DEPENDS "${CC_WINDOWS_MANIFEST};${CC_WINDOWS_ICON}")
    if(MSVC)
        # The manifest is in the resources; the linker must not add one of its own.
        target_link_options(${target} PRIVATE /MANIFEST:NO)
    endif()
endfunction()
