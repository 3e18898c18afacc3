# Renders the window's two style sheets from the one template and a palette per theme, and the
# header of the colours the window sets in code. Run at build time (resources/CMakeLists.txt):
#   cmake -DTHEME_DIR=<resources/qss> -DHEADER_TEMPLATE=<file.h.in> -DOUTPUT_DIR=<folder>
#         -P RenderThemes.cmake
# writes <folder>/qss/light.css, <folder>/qss/dark.css and <folder>/themecolours.h. The template's
# lines that begin with "##" are its own comments and are left out. A name that the template uses
# and a palette lacks stops the build, so that no theme keeps another's value.
file(READ ${THEME_DIR}/theme.css.in template)
string(REGEX REPLACE "(^|\n)##[^\n]*" "" template "${template}")
string(REGEX REPLACE "^\n" "" template "${template}")
string(REGEX MATCHALL "@[A-Za-z_]+@" placeholders "${template}")
list(REMOVE_DUPLICATES placeholders)
list(TRANSFORM placeholders REPLACE "@" "")
set(names ${placeholders} link)

# Writes only a changed file, so that an unchanged style sheet or header rebuilds nothing.
function(write_if_changed file content)
    if(EXISTS ${file})
        file(READ ${file} old)
        if(old STREQUAL content)
            return()
        endif()
    endif()
    file(WRITE ${file} "${content}")
endfunction()

foreach(theme IN ITEMS light dark)
    foreach(name IN LISTS names)
        unset(${name})
    endforeach()
    include(${THEME_DIR}/${theme}.palette.cmake)
    foreach(name IN LISTS names)
        if(NOT DEFINED ${name})
            message(FATAL_ERROR "${theme}.palette.cmake does not set ${name}")
        endif()
    endforeach()
    string(CONFIGURE "${template}" sheet @ONLY)
    write_if_changed(${OUTPUT_DIR}/qss/${theme}.css "${sheet}")
    set(link_${theme} ${link})
endforeach()
file(READ ${HEADER_TEMPLATE} header)
string(CONFIGURE "${header}" header @ONLY)
write_if_changed(${OUTPUT_DIR}/themecolours.h "${header}")
