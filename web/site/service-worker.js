// The page's service worker: it keeps the whole site in a cache named after a
// hash of the site's files, so that after one visit the page opens, decodes,
// plays, analyses and renders with no server. The build (web/CMakeLists.txt)
// writes that hash and the list of files into the copy it ships. A site whose
// files changed ships a different worker, which the browser installs on the next
// visit it makes with the server there: it fills a new cache, takes over the open
// page, which then says so, and deletes the old one.
const SITE_VERSION = '@SITE_VERSION@';
const SITE_FILES = [@SITE_FILES@];
const CACHE_PREFIX = 'brevander-site-';
const CACHE = CACHE_PREFIX + SITE_VERSION;

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const cache = await caches.open(CACHE);
    // Past the browser's HTTP cache: it could hold the previous version's files.
    await cache.addAll(SITE_FILES.map((url) => new Request(url, { cache: 'reload' })));
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys()) {
      if (name.startsWith(CACHE_PREFIX) && name !== CACHE) await caches.delete(name);
    }
    await self.clients.claim();
  })());
});

// The site's own files from the cache, whatever the network does; anything else
// (the demo scene, which make web serves beside the site) from the network.
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith((async () => (await caches.match(event.request, { cacheName: CACHE, ignoreSearch: true }))
    || fetch(event.request))());
});

self.addEventListener('message', (event) => {
  if (event.data === 'version') event.source.postMessage({ type: 'version', version: SITE_VERSION });
});
