# Warnings as errors are the developers' and CI's choice (the debug and asan
# presets and scripts/test turn them on); a packager's own compiler and flags may
# warn where these do not. Either way only the project's own targets are held to
# them: Qt and GoogleTest headers come in as system headers.
option(QUORVALINK_WERROR "Treat warnings in the project's own code as errors" OFF)

function(ql_project_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8 $<$<BOOL:${QUORVALINK_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE
      -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
      -Wcast-align -Wnull-dereference -Wimplicit-fallthrough $<$<BOOL:${QUORVALINK_WERROR}>:-Werror>)
  endif()
endfunction()
