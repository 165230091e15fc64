// -hidpi albums on a 3x phone (390 x 844) and a 1x desktop (1366 x 768), in
// the built-in look and in the modern theme with -nav: thumbnails and photos
// drawn from enough pixels for the screen, a 1x screen fetching nothing
// denser than it shows, the rollover at the screen's density, and the
// thumbnails past the first screen's left for scrolling.
//
// Run through scripts/browser-test.sh, or: QUORVEL=build/quorvel node --test hidpi.test.mjs

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { writeJpegs } from './album-tree.mjs';
import { launch } from './browser.mjs';
import { clickAndWait, framesBySource, open } from './checks.mjs';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const SOURCE = path.join(HERE, '..', '..');
const SAMPLES = path.join(SOURCE, 'samples');
const QUORVEL = process.env.QUORVEL && path.resolve(process.env.QUORVEL);

// The album root's pictures by name: two larger than the 2048 large view,
// one smaller than the 640 x 480 medium box. A folder of twenty holds the
// lazy ones.
const WIDTH = { paysage: 3000, portrait: 2000, petite: 500 };
const TWENTY = Array.from({ length: 20 }, (_, i) => `p${String(i + 1).padStart(2, '0')}`);
for (const name of TWENTY) WIDTH[name] = 1200;
const JPEGS = [
  { name: 'paysage.jpg', width: 3000, height: 2000, from: 'coccinelle.jpg' },
  { name: 'portrait.jpg', width: 2000, height: 3000, from: 'nature/foret.jpg' },
  { name: 'petite.jpg', width: 500, height: 400, from: 'nature/mountains/lac.jpg' },
  ...TWENTY.map((name) => ({ name: `vingt/${name}.jpg`, width: 1200, height: 800, from: 'coccinelle.jpg' })),
];
const LOOKS = [
  { name: 'built-in look', args: [] },
  { name: 'modern theme with -nav', args: ['-nav', `-conf:${path.join(SOURCE, 'themes', 'modern.conf')}`] },
];
const SIZES = [
  { name: '3x phone', width: 390, height: 844, mobile: true, density: 3 },
  { name: '1x desktop', width: 1366, height: 768, mobile: false, density: 1 },
];
// What a 1x screen must never fetch: the large view, 2x and 3x thumbnails.
const DENSE = /\.(lg|vi2|vi3|vr2|vr3)\.jpg$/;

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-hidpi-'));
after(() => fs.rmSync(work, { recursive: true, force: true }));

before(async () => {
  assert.ok(QUORVEL && fs.existsSync(QUORVEL), 'QUORVEL must name the quorvel binary');
  const browser = await launch();
  try {
    await writeJpegs(browser.context, JPEGS.map((j) =>
      ({ ...j, file: path.join(work, 'pictures', j.name), from: path.join(SAMPLES, j.from) })));
  } finally {
    await browser.close();
  }
});

const baseName = (url) => decodeURIComponent(new URL(url).pathname.split('/').pop());
const leftFrame = async (page) => (await framesBySource(page))['quorvelLeft.html'];
// Two frames rendered after load: any lazy image the browser means to fetch
// has been asked for by then.
const settle = (frame) =>
  frame.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));

// The images of frame matching selector that lie in its viewport, each with
// the pixels of the file it shows: naturalWidth of a srcset candidate is in
// CSS pixels (divided by its density), so a plain copy is decoded for them.
const drawn = (frame, selector) =>
  frame.evaluate(async (selector) => {
    const out = [];
    for (const img of document.querySelectorAll(selector)) {
      const r = img.getBoundingClientRect();
      if (r.right <= 0 || r.bottom <= 0 || r.left >= innerWidth || r.top >= innerHeight) continue;
      await img.decode().catch(() => {});
      const plain = new Image();
      plain.src = img.currentSrc;
      await plain.decode().catch(() => {});
      out.push({ url: img.currentSrc, pixels: plain.naturalWidth, shown: img.clientWidth, density: devicePixelRatio });
    }
    return out;
  }, selector);

// Each image drawn from fewer than 0.9 x the device pixels it covers, unless
// it is the picture's own width.
function blurred(images) {
  return images
    .filter(({ url, pixels, shown, density }) =>
      pixels < 0.9 * shown * density && pixels !== WIDTH[baseName(url).split('.')[0]])
    .map(({ url, pixels, shown, density }) => `${baseName(url)}: ${pixels} px for ${shown} CSS px at ${density}x`);
}

// currentSrc of the named image once it has loaded a file ending in suffix,
// or what it shows when it does not within a few seconds.
async function showing(frame, name, suffix) {
  try {
    await frame.waitForFunction(([n, s]) => {
      const img = document.images[n];
      return img.complete && img.naturalWidth > 0 && img.currentSrc.endsWith(s);
    }, [name, suffix], { timeout: 5000 });
  } catch {
    // Told by the caller through the name returned.
  }
  return baseName(await frame.evaluate((n) => document.images[n].currentSrc, name));
}

for (const look of LOOKS) {
  describe(`-hidpi, ${look.name}`, () => {
    const root = path.join(work, look.name.split(' ')[0], 'pictures');
    before(() => {
      fs.cpSync(path.join(work, 'pictures'), root, { recursive: true });
      const run = spawnSync(QUORVEL, ['pictures', '-hidpi', ...look.args], { cwd: path.dirname(root), encoding: 'latin1' });
      assert.equal(run.stderr, '');
      assert.equal(run.status, 0);
    });

    // From file://, which Chromium lets wait for scrolling; over HTTP it
    // fetches lazy images some screens ahead on its own, this folder's 20th
    // among them.
    test('thumbnails past the 12th load lazily: at 1366 x 768 the 20th waits for scrolling', async () => {
      const browser = await launch({ width: 1366, height: 768 });
      try {
        const page = await browser.context.newPage();
        const requested = [];
        // The column's own: the sheet beside it shows all twenty on this screen.
        page.on('request', (r) => { if (r.frame().url().endsWith('quorvelLeft.html')) requested.push(baseName(r.url())); });
        await open(page, path.join(root, 'vingt', 'quorvelFrameset.html'));
        const left = await leftFrame(page);
        const lazy = await left.evaluate(() => [...document.images].map((img) => img.loading === 'lazy'));
        assert.deepEqual(lazy, TWENTY.map((_, i) => i >= 12));
        await settle(left);
        assert.ok(requested.includes('p12.vi.jpg') && !requested.includes('p20.vi.jpg'), requested.join(' '));
        await left.locator('img[name]').last().scrollIntoViewIfNeeded();
        assert.equal(await showing(left, TWENTY.length - 1, 'p20.vi.jpg'), 'p20.vi.jpg');
      } finally {
        await browser.close();
      }
    });

    for (const size of SIZES) {
      describe(`on a ${size.name}`, () => {
        let browser;
        let page;
        const requested = [];
        before(async () => {
          browser = await launch(size);
          page = await browser.context.newPage();
          page.on('request', (r) => requested.push(baseName(r.url())));
        });
        after(async () => browser?.close());
        const denseRequested = () => requested.filter((name) => DENSE.test(name));

        test('the visible thumbnails are sharp', async () => {
          await open(page, path.join(root, 'quorvelFrameset.html'));
          const left = await leftFrame(page);
          const thumbnails = await drawn(left, 'img[name]');
          assert.equal(thumbnails.length, 3, JSON.stringify(thumbnails));
          assert.deepEqual(blurred(thumbnails), []);
          if (size.density === 1) assert.deepEqual(denseRequested(), []);
        });

        test('each picture page draws its photo from enough pixels', async () => {
          await open(page, path.join(root, 'quorvelFrameset.html'));
          const left = await leftFrame(page);
          const right = page.frame({ name: 'right' });
          for (const name of ['paysage', 'portrait', 'petite']) {
            const link = left.locator(`a:has(img[src="${name}.vi.jpg"])`);
            const wanted = path.join(root, await link.getAttribute('href'));
            assert.equal(await clickAndWait(link, right, wanted), wanted);
            const photo = await drawn(right, 'img');
            assert.equal(photo.length, 1, `${name}: ${JSON.stringify(photo)}`);
            assert.deepEqual(blurred(photo), []);
          }
          if (size.density === 1) assert.deepEqual(denseRequested(), []);
        });

        test('hovering a thumbnail shows the rollover at the screen\'s density, leaving it the thumbnail', async () => {
          await open(page, path.join(root, 'quorvelFrameset.html'));
          const left = await leftFrame(page);
          const suffix = size.density === 1 ? '' : String(size.density);
          for (const [i, name] of ['paysage', 'petite', 'portrait'].entries()) {
            const image = left.locator(`img[name="i${i + 1}"]`);
            await image.hover();
            assert.equal(await showing(left, `i${i + 1}`, `.vr${suffix}.jpg`), `${name}.vr${suffix}.jpg`);
            // Off the thumbnails, into another frame.
            await page.mouse.move(size.width - 2, 2);
            assert.equal(await showing(left, `i${i + 1}`, `.vi${suffix}.jpg`), `${name}.vi${suffix}.jpg`);
          }
          if (size.density === 1) assert.deepEqual(denseRequested(), []);
        });
      });
    }
  });
}
