# The preview lives with the tools; its font is found at run time (missing: no storyboard drawn).
target_link_libraries(${exe} PRIVATE medley_preview)
