# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the site's service worker: the list of files it caches, and a cache name made
# of the version and a digest of every file, so that any change replaces the cache.
# Usage: cmake -DSITE=dir -DTEMPLATE=sw.js.in -DVERSION=x.y.z -P service_worker.cmake
file(GLOB_RECURSE files RELATIVE "${SITE}" "${SITE}/*")
list(REMOVE_ITEM files sw.js)
list(SORT files)
set(digests "")
set(SITE_FILES "  './',\n")
foreach(file IN LISTS files)
    file(SHA256 "${SITE}/${file}" digest)
    string(APPEND digests "${file} ${digest}\n")
    string(APPEND SITE_FILES "  './${file}',\n")
endforeach()
string(SHA256 digest "${digests}")
string(SUBSTRING "${digest}" 0 12 digest)
set(CACHE_NAME "quemador1-${VERSION}-${digest}")
configure_file("${TEMPLATE}" "${SITE}/sw.js" @ONLY)
