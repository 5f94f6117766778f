# The version that the programs report and that releases are named by:
# the project version for the commit tagged v<version>, else the project
# version with the short commit id ("1.0.0+g1a2b3c4"). Outside a git checkout
# the project version alone.
set(PKGCUSTOMIZE_VERSION_STRING ${PROJECT_VERSION})
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} tag --points-at HEAD --list v${PROJECT_VERSION}
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE pkg_release_tag OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=7 HEAD
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE pkg_commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT pkg_release_tag AND pkg_commit)
    string(APPEND PKGCUSTOMIZE_VERSION_STRING "+g${pkg_commit}")
  endif()
  # A new commit changes the version: configure again when HEAD or its branch moves.
  if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/.git)
    set(pkg_head ${PROJECT_SOURCE_DIR}/.git/HEAD)
    file(STRINGS ${pkg_head} pkg_head_ref REGEX "^ref: " LIMIT_COUNT 1)
    string(REPLACE "ref: " "" pkg_head_ref "${pkg_head_ref}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pkg_head})
    if(pkg_head_ref AND EXISTS ${PROJECT_SOURCE_DIR}/.git/${pkg_head_ref})
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/.git/${pkg_head_ref})
    endif()
  endif()
endif()
