// A phone's folder made as the README's first command makes it (-today), in
// the built-in look and each theme, on a 390 x 844 phone and a 1366 x 768
// desktop: the album opens on its pictures, nothing runs off sideways, no
// text is under 14 px, the arrow keys step from the first moment, the strip
// follows the photo shown, videos play fitted to their frame and a Live
// Photo's motion plays. Screenshots land in <build>/screenshots/today-*.png.
//
// Run through scripts/browser-test.sh, or: QUORVEL=build/quorvel node --test phone.test.mjs

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { fileUrl, launch } from './browser.mjs';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const SOURCE = path.join(HERE, '..', '..');
const QUORVEL = process.env.QUORVEL && path.resolve(process.env.QUORVEL);
const SHOTS = QUORVEL && path.join(path.dirname(QUORVEL), 'screenshots');
const SIZES = [
  { name: 'phone', width: 390, height: 844, mobile: true },
  { name: 'desktop', width: 1366, height: 768, mobile: false },
];
const LOOKS = ['default', 'modern', 'dark'];
const SOURCES = ['coccinelle.jpg', 'nature/foret.jpg', 'travel/2019/brume.jpg', 'nature/mountains/lac.jpg'];
const DEEP = 'voyages/2024/mai/plage';

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-phone-'));
after(() => fs.rmSync(work, { recursive: true, force: true }));

const ffmpeg = (...args) => {
  const r = spawnSync('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', ...args], { encoding: 'latin1' });
  assert.equal(r.status, 0, r.stderr);
};

// Fourteen photos, a title, a landscape H.264 video, a portrait VP9 one, a
// Live Photo (a photo and its .MOV) and an album four folders down.
function makeTree(dir) {
  const album = path.join(dir, 'album');
  fs.mkdirSync(path.join(album, DEEP), { recursive: true });
  fs.writeFileSync(path.join(album, 'title.txt'), '<t>Printemps</t>\nUne semaine au bord de la mer\n');
  for (let i = 1; i <= 14; i++) {
    fs.copyFileSync(path.join(SOURCE, 'samples', SOURCES[i % SOURCES.length]), path.join(album, `p${String(i).padStart(2, '0')}.jpg`));
  }
  fs.copyFileSync(path.join(SOURCE, 'samples', 'coccinelle.jpg'), path.join(album, 'IMG_1.JPG'));
  fs.copyFileSync(path.join(SOURCE, 'samples', 'nature/foret.jpg'), path.join(album, DEEP, 'dune.jpg'));
  const source = (size, seconds) => ['-f', 'lavfi', '-i', `testsrc=size=${size}:rate=15`, '-t', String(seconds)];
  ffmpeg(...source('320x240', 2), '-c:v', 'libx264', '-pix_fmt', 'yuv420p', path.join(album, 'clip.mp4'));
  ffmpeg(...source('360x640', 2), '-c:v', 'libvpx-vp9', path.join(album, 'tall.webm'));
  ffmpeg(...source('320x240', 1), '-c:v', 'libx264', '-pix_fmt', 'yuv420p', path.join(album, 'IMG_1.MOV'));
  return album;
}

function makeAlbum(look) {
  const dir = path.join(work, look);
  fs.mkdirSync(dir);
  const album = makeTree(dir);
  const conf = look === 'default' ? [] : [`-conf:${path.join(SOURCE, 'themes', `${look}.conf`)}`];
  const r = spawnSync(QUORVEL, ['album', '-today', ...conf], { cwd: dir, encoding: 'latin1' });
  assert.equal(r.status, 0, r.stderr);
  return album;
}

const last = (url) => decodeURIComponent(new URL(url).pathname.split('/').pop());
const right = (page) => page.frame({ name: 'right' });
const frameOf = (page, name) => page.frames().find((f) => last(f.url()) === name);

async function arrive(page, wanted) {
  await right(page).waitForURL((u) => last(u.href) === wanted, { timeout: 5000 });
  await right(page).waitForLoadState('load');
}

// Opens the album's frameset afresh (a new document, even when only the part
// after '#' differs from the one shown).
async function openAlbum(page, album, hash = '') {
  await page.goto('about:blank');
  await page.goto(fileUrl(path.join(album, 'quorvelFrameset.html')) + hash, { waitUntil: 'load' });
}

// The pages the Left column opens, in its order.
const leftPages = (page) =>
  frameOf(page, 'quorvelLeft.html').evaluate(() =>
    [...document.querySelectorAll('a[target="right"]:has(img)')].map((a) => a.getAttribute('href')));

// The smallest font size of any visible text of the frame, in CSS px.
const smallestText = (frame) =>
  frame.evaluate(() => {
    let smallest = Infinity;
    const walk = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let n = walk.nextNode(); n; n = walk.nextNode()) {
      if (n.textContent.trim() && n.parentElement.getClientRects().length > 0) {
        smallest = Math.min(smallest, parseFloat(getComputedStyle(n.parentElement).fontSize));
      }
    }
    return smallest;
  });

// Whether the element's box lies within its frame's visible box.
const inView = (locator) =>
  locator.evaluate((e) => {
    const r = e.getBoundingClientRect();
    return r.width > 0 && r.left >= -0.5 && r.top >= -0.5 && r.right <= innerWidth + 0.5 && r.bottom <= innerHeight + 0.5;
  });

// What is wrong with the frames' text size and width: the thumbnail strip
// alone may scroll sideways.
async function readabilityProblems(page) {
  const problems = [];
  for (const frame of page.frames()) {
    const name = last(frame.url()) || 'frameset';
    const [scroll, inner] = await frame.evaluate(() => [document.documentElement.scrollWidth, innerWidth]);
    if (scroll > inner && name !== 'quorvelLeft.html') problems.push(`${name} is ${scroll} px wide in ${inner}`);
    if (frame === page.mainFrame()) continue;
    const smallest = await smallestText(frame);
    if (smallest < 14) problems.push(`${name} has ${smallest} px text`);
  }
  return problems;
}

for (const look of LOOKS) {
  describe(`-today in the ${look} look`, () => {
    let album;
    before(() => {
      assert.ok(QUORVEL && fs.existsSync(QUORVEL), 'QUORVEL must name the quorvel binary');
      album = makeAlbum(look);
      fs.mkdirSync(SHOTS, { recursive: true });
    });

    for (const size of SIZES) {
      describe(`at ${size.width} x ${size.height}`, () => {
        let browser;
        let page;
        before(async () => {
          browser = await launch(size);
          page = await browser.context.newPage();
        });
        after(async () => browser?.close());

        test('the album opens on its pictures and its title, readable, within the width; → opens the first', async () => {
          await openAlbum(page, album);
          const sheet = right(page);
          assert.equal(last(sheet.url()), 'quorvelRight.html');
          const first = sheet.locator('.quorvel-sheet img').first();
          await first.evaluate((img) => img.decode());
          assert.ok(await inView(first), 'the first thumbnail of the sheet is out of sight');
          assert.ok(await inView(sheet.getByText('Printemps')), 'the album title is out of sight');
          assert.deepEqual(await readabilityProblems(page), []);
          fs.writeFileSync(path.join(SHOTS, `today-${look}-${size.name}-sheet.png`), await page.screenshot({ scale: 'css' }));
          const pages = await leftPages(page);
          await page.keyboard.press('ArrowRight');
          await arrive(page, pages[0]);
        });

        test('after a # link and after Back, → steps with no click; a photo takes the phone\'s width', async () => {
          const pages = await leftPages(page);
          const at = pages.indexOf('p05.md.html');
          await openAlbum(page, album, '#p05.md.html');
          await arrive(page, pages[at]);
          await page.keyboard.press('ArrowRight');
          await arrive(page, pages[at + 1]);
          await page.goBack();
          await arrive(page, pages[at]);
          await page.keyboard.press('ArrowRight');
          await arrive(page, pages[at + 1]);
          const photo = right(page).locator('img').first();
          await photo.evaluate((img) => img.decode());
          assert.ok(await inView(photo), 'the photo runs out of its frame');
          if (size.mobile) {
            const width = (await photo.boundingBox()).width;
            assert.ok(width >= 0.8 * size.width, `the photo is ${width} px wide on a ${size.width} px screen`);
          }
          assert.deepEqual(await readabilityProblems(page), []);
          fs.writeFileSync(path.join(SHOTS, `today-${look}-${size.name}.png`), await page.screenshot({ scale: 'css' }));
        });

        test('the last picture\'s thumbnail is marked and within the strip\'s visible box', async () => {
          const pages = await leftPages(page);
          const lastPage = pages[pages.length - 1];
          await openAlbum(page, album, `#${lastPage}`);
          await arrive(page, lastPage);
          const marked = frameOf(page, 'quorvelLeft.html').locator('a.quorvel-at img');
          await marked.waitFor({ timeout: 5000 });
          assert.equal(await marked.evaluate((img) => img.closest('a').getAttribute('href')), lastPage);
          assert.ok(await inView(marked), 'the marked thumbnail is out of sight');
        });

        if (size.mobile) {
          test('the tree shows the current folder four levels down', async () => {
            await page.goto(fileUrl(path.join(album, DEEP, 'quorvelFrameset.html')), { waitUntil: 'load' });
            assert.ok(await inView(frameOf(page, 'quorvelTop.html').locator('pre font')));
          });
        }

        test('a video\'s tile shows its length; a portrait video plays within its frame', async () => {
          await openAlbum(page, album);
          const mark = frameOf(page, 'quorvelLeft.html').locator('a.quorvel-video .quorvel-play');
          assert.deepEqual(await mark.allInnerTexts(), ['\u25B6 0:02', '\u25B6 0:02']);
          await openAlbum(page, album, '#tall.md.html');
          await arrive(page, 'tall.md.html');
          const video = right(page).locator('video');
          const duration = await video.evaluate((v) => new Promise((resolve) => {
            if (v.readyState >= 1) resolve(v.duration);
            v.addEventListener('loadedmetadata', () => resolve(v.duration));
            v.addEventListener('error', () => resolve(0));
          }));
          assert.ok(duration > 1.5, `tall.webm reads ${duration} s`);
          assert.ok(await inView(video), `the portrait video's box leaves its frame: ${JSON.stringify(await video.boundingBox())}`);
          await page.keyboard.press('ArrowLeft');
          await arrive(page, (await leftPages(page)).at(-2));
        });
      });
    }

    test('a Live Photo\'s motion plays in place of the photo, muted, and the photo comes back', async () => {
      const browser = await launch(SIZES[0]);
      try {
        const page = await browser.context.newPage();
        const name = fs.existsSync(path.join(album, 'IMG_1.md.html')) ? 'IMG_1.md.html' : 'IMG_1.html';
        await page.goto(fileUrl(path.join(album, name)), { waitUntil: 'load' });
        const motion = page.locator('video.quorvel-motion');
        assert.equal(await motion.isVisible(), false);
        await page.locator('.quorvel-live').click({ timeout: 5000 });
        await motion.evaluate((v) => new Promise((resolve) => {
          if (v.currentTime > 0) resolve();
          v.addEventListener('timeupdate', () => { if (v.currentTime > 0) resolve(); });
        }));
        assert.equal(await motion.evaluate((v) => v.muted), true);
        assert.equal(await page.locator('img').first().isVisible(), false);
        await page.locator('img').first().waitFor({ state: 'visible', timeout: 5000 });
        assert.equal(await motion.isVisible(), false);
      } finally {
        await browser.close();
      }
    });
  });
}
