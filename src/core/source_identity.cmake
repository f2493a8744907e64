# Writes OUT, a C++ definition of zentrel::kSourceIdentity: the first 16 hex digits of the SHA-256
# of the contents of the files listed in LIST (one path a line), in that order. The file is
# replaced only when the number changes.
file(STRINGS ${LIST} files)
set(all "")
foreach(f IN LISTS files)
  file(SHA256 "${f}" h)
  string(APPEND all "${h}")
endforeach()
string(SHA256 total "${all}")
string(SUBSTRING "${total}" 0 16 id)
file(WRITE "${OUT}.new" "// Generated at build time: the fingerprint of the core's source.\n#include \"source_identity.h\"\nnamespace zentrel {\nconst uint64_t kSourceIdentity = 0x${id}ULL;\n}\n")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
