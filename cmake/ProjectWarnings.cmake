# Warnings are errors for the project's own targets only; Qt and GoogleTest
# headers come in as system headers and are not held to them.
function(ql_project_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /permissive- /utf-8)
  else()
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
      -Wcast-align -Wnull-dereference -Wimplicit-fallthrough -Werror)
  endif()
endfunction()
