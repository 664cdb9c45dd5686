# One interface target carries the project's warning policy; every target links it.
add_library(kov_warnings INTERFACE)
target_compile_options(kov_warnings INTERFACE -Wall -Wextra -Werror)
