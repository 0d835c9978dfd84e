# Warnings every target of ours is built with.
add_library(zl_warnings INTERFACE)
target_compile_options(zl_warnings INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
