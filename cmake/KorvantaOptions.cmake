# Build-wide switches shared by every target of the project.

set(KORVANTA_SANITIZE "" CACHE STRING
    "Comma-separated -fsanitize= list for every target, e.g. address,undefined")

if(KORVANTA_SANITIZE)
    add_compile_options(-fsanitize=${KORVANTA_SANITIZE} -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${KORVANTA_SANITIZE})
endif()

# Warnings for the project's own targets; third-party code keeps its own.
function(korvanta_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
