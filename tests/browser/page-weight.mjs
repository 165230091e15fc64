// The bytes a visitor's first screen of an album costs: the album's
// quorvelFrameset.html served over HTTP from 127.0.0.1, opened in headless
// Chromium as a 1x desktop (1366 x 768) or a 3x phone (390 x 844), nothing
// scrolled; every response body (pages and pictures) counted once the
// network has gone quiet after load, so the lazy thumbnails the browser
// fetches on its own count too. For scripts/bench.sh.
//
//   node page-weight.mjs ALBUM-DIR desktop|phone [REPS]
//
// Prints one line of JSON: { bytes: [...], requests: [...] }, one entry a
// repetition (each in a fresh browser, so nothing comes from a cache).

import path from 'node:path';

import { launch, serve } from './browser.mjs';

const SCREENS = {
  desktop: { width: 1366, height: 768, mobile: false },
  phone: { width: 390, height: 844, mobile: true }, // three device pixels a CSS pixel
};
const [dir, screen, reps = '3'] = process.argv.slice(2);
if (!dir || !SCREENS[screen]) {
  console.error('usage: node page-weight.mjs ALBUM-DIR desktop|phone [REPS]');
  process.exit(2);
}
const root = path.resolve(dir);

const server = await serve(root);

const out = { bytes: [], requests: [] };
try {
  for (let rep = 0; rep < Number(reps); rep++) {
    const browser = await launch(SCREENS[screen]);
    try {
      const page = await browser.context.newPage();
      const finished = [];
      page.on('requestfinished', (r) => finished.push(r.sizes()));
      await page.goto(`http://127.0.0.1:${server.address().port}/quorvelFrameset.html`, { waitUntil: 'load' });
      await page.waitForLoadState('networkidle');
      const sizes = await Promise.all(finished);
      out.bytes.push(sizes.reduce((sum, s) => sum + s.responseBodySize, 0));
      out.requests.push(sizes.length);
    } finally {
      await browser.close();
    }
  }
} finally {
  server.close();
}
console.log(JSON.stringify(out));
