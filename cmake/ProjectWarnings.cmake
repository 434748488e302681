# Warnings are errors for the project's own targets only; Qt and GoogleTest
# headers come in as system headers and are not held to them.
function(ql_project_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wcast-align -Wnull-dereference -Wimplicit-fallthrough -Werror)
endfunction()
