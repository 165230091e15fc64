// An album written into a folder of its own (-out:, links into the library
// by default), as a visitor meets it: opened from file:// and over HTTP from
// a common parent of the album and the library, stepped through with -nav,
// every image shown and every link to an original alive.
//
// Run through scripts/browser-test.sh, or: QUORVEL=build/quorvel node --test out.test.mjs

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { exists, fileUrl, launch, serve, urlPath } from './browser.mjs';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const SAMPLES = path.join(HERE, '..', '..', 'samples');
const QUORVEL = process.env.QUORVEL && path.resolve(process.env.QUORVEL);

// Names a link must escape ('%', '#', spaces), two levels below the roots,
// which lie at different places under the common parent.
const FOLDER = 'summer 50%';
const PICTURES = [
  ['p1.jpg', 'coccinelle.jpg'],         // medium view
  ['p2 #2.jpg', 'travel/2019/brume.jpg'], // small: its page shows the original
  ['p3.jpg', 'nature/foret.jpg'],
  ['p4.jpg', 'nature/mountains/lac.jpg'],
];
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-out-'));
const library = path.join(work, 'photos', '2026');
const album = path.join(work, 'albums', '2026');
const pageOf = [];
let server;

const listing = (dir) => fs.readdirSync(dir, { recursive: true }).sort();

before(async () => {
  assert.ok(QUORVEL && fs.existsSync(QUORVEL), 'QUORVEL must name the quorvel binary');
  fs.mkdirSync(path.join(library, FOLDER), { recursive: true });
  for (const [name, from] of PICTURES) fs.copyFileSync(path.join(SAMPLES, from), path.join(library, FOLDER, name));
  const before = listing(library);
  const run = spawnSync(QUORVEL, ['photos/2026', '-nav', '-out:albums/2026'], { cwd: work, encoding: 'latin1' });
  assert.equal(run.status, 0, run.stderr);
  assert.equal(run.stderr, '');
  assert.deepEqual(listing(library), before, 'the run wrote into the library');
  for (const [name] of PICTURES) {
    const base = name.slice(0, -'.jpg'.length);
    pageOf.push(fs.existsSync(path.join(album, FOLDER, `${base}.md.html`)) ? `${base}.md.html` : `${base}.html`);
  }
  assert.ok(pageOf.includes('p2 #2.html') && pageOf.includes('p1.md.html'), `pages ${pageOf}`);
  server = await serve(work);
});

after(() => {
  server?.close();
  fs.rmSync(work, { recursive: true, force: true });
});

const last = (url) => decodeURIComponent(new URL(url).pathname.split('/').pop());
const right = (page) => page.frame({ name: 'right' });
const left = (page) => page.frames().find((f) => f.url().endsWith('quorvelLeft.html'));

async function arrive(page, wanted) {
  await right(page).waitForURL((u) => last(u.href) === wanted, { timeout: 5000 });
  await right(page).waitForLoadState('load');
}

// The library file a link reaches, as a path below the common parent, and
// whether it is there to load.
async function reached(url) {
  if (url.startsWith('file:')) {
    const p = urlPath(url);
    return { at: path.relative(work, p), loads: exists(p) };
  }
  const response = await fetch(url);
  await response.arrayBuffer();
  return { at: decodeURIComponent(new URL(url).pathname).slice(1), loads: response.status === 200 };
}

for (const scheme of ['file', 'http']) {
  test(`from ${scheme}://: -nav steps through the album, every picture shown, every original reached`, async () => {
    const browser = await launch({ width: 1366, height: 768 });
    try {
      const page = await browser.context.newPage();
      const failed = [];
      page.on('requestfailed', (r) => failed.push(`${r.url()}: ${r.failure()?.errorText}`));
      page.on('response', (r) => r.status() >= 400 && failed.push(`${r.url()}: HTTP ${r.status()}`));
      page.on('pageerror', (e) => failed.push(e.message));

      const top = scheme === 'file' ? fileUrl(album) + '/' : `http://127.0.0.1:${server.address().port}/albums/2026/`;
      await page.goto(top + 'quorvelFrameset.html', { waitUntil: 'load' });
      await page.locator('a', { hasText: FOLDER }).click();
      await page.waitForURL((u) => decodeURIComponent(u.pathname).endsWith(`/${FOLDER}/quorvelFrameset.html`));
      await page.waitForLoadState('load');
      await left(page).click(`a[href="${pageOf[0]}"]`);

      const order = [...PICTURES.keys(), ...[...PICTURES.keys()].reverse().slice(1)];
      for (const [step, i] of order.entries()) {
        if (step > 0) await right(page).click(step < PICTURES.length ? 'a[rel="next"]' : 'a[rel="prev"]');
        await arrive(page, pageOf[i]);
        const shown = await right(page).evaluate(() => {
          const img = document.images[0];
          return { loaded: img.complete && img.naturalWidth > 0, src: img.src, bigger: img.closest('a')?.href ?? null };
        });
        assert.ok(shown.loaded, `${pageOf[i]}: ${shown.src} not shown`);
        const original = path.join('photos', '2026', FOLDER, PICTURES[i][0]);
        const link = pageOf[i].endsWith('.md.html') ? shown.bigger : shown.src;
        assert.deepEqual(await reached(link), { at: original, loads: true }, `${pageOf[i]}: ${link}`);
      }
      assert.deepEqual(failed, []);
    } finally {
      await browser.close();
    }
  });
}
