# Run at install time, after the release files are in place: writes SHA256SUMS beside them, one
# line per file in the format `sha256sum -c` reads, so that a user can check what they unpacked.
set(release_directory "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(sums "")
foreach(file IN LISTS HALVIK_RELEASE_FILES)
  file(SHA256 "${release_directory}/${file}" sum)
  string(APPEND sums "${sum}  ${file}\n")
endforeach()
file(WRITE "${release_directory}/SHA256SUMS" "${sums}")
