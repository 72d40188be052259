# Writes the site's service worker from its template: the site's version is a hash
# of every file it caches (names and contents), so that any change to the site
# ships a different worker and replaces the cached site on the next visit.
#   cmake -DSITE=dir -DTEMPLATE=file -DFILES=a,b,... -P site-version.cmake
string(REPLACE "," ";" FILES "${FILES}")
set(hashes "")
set(quoted "'./'")
foreach(file IN LISTS FILES)
  file(SHA256 ${SITE}/${file} hash)
  string(APPEND hashes "${file} ${hash}\n")
  string(APPEND quoted ", '${file}'")
endforeach()
string(SHA256 version "${hashes}")
string(SUBSTRING ${version} 0 16 SITE_VERSION)
set(SITE_FILES ${quoted})
configure_file(${TEMPLATE} ${SITE}/service-worker.js @ONLY)
