// A visitor's first look at an album: quorvel runs over a tree of pictures,
// music and videos with awkward names, and headless Chromium opens the
// result from file:// and uses it as a person would.
//
// Run through scripts/browser-test.sh, or: QUORVEL=build/quorvel node --test

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import {
  ALBUMS, buildAlbumTree, bytes, mediumName, microName, rolloverName, shownFile, shownName,
} from './album-tree.mjs';
import { exists, fileUrl, launch, printable, urlPath } from './browser.mjs';
import {
  clickAndWait, followTreeLink, frameProblems, framesBySource, hoverProblems, images, linkProblems,
  observe, open, thumbnailProblems, visibleText,
} from './checks.mjs';

const HERE = path.dirname(fileURLToPath(import.meta.url));
const SAMPLES = path.join(HERE, '..', '..', 'samples');
const QUORVEL = process.env.QUORVEL && path.resolve(process.env.QUORVEL);
const FRAMES = ['quorvelTop.html', 'quorvelLeft.html', 'quorvelRight.html'];
const FRAMESET = 'quorvelFrameset.html';

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-album-'));
const root = path.join(work, 'album');
const dirOf = (album, base = root) => (album.rel === '' ? base : path.join(base, album.rel));
const named = printable;

let tree;
let run;
let browser;

// Runs quorvel in dir with args; returns { status, out, err } as byte strings.
function quorvel(dir, args) {
  const r = spawnSync(QUORVEL, args, { cwd: dir, encoding: 'latin1' });
  return { status: r.status, out: r.stdout, err: r.stderr + (r.error ? String(r.error) : '') };
}

before(async () => {
  assert.ok(QUORVEL && fs.existsSync(QUORVEL), 'QUORVEL must name the quorvel binary');
  tree = buildAlbumTree(work, SAMPLES);
  run = quorvel(work, ['album', '-mp3', '-video']);
  browser = await launch();
});

after(async () => {
  await browser?.close();
  if (process.env.QUORVEL_KEEP_ALBUM) console.log(`album kept in ${root}`);
  else fs.rmSync(work, { recursive: true, force: true });
});

test('quorvel makes an album in every directory that holds pictures, music or videos', () => {
  assert.equal(run.err, '');
  assert.equal(run.status, 0);
  for (const album of ALBUMS) {
    assert.ok(exists(path.join(dirOf(album), FRAMESET)), `${named(album.rel)} has no ${FRAMESET}`);
  }
  for (const name of tree.notAlbums) {
    const pages = fs.readdirSync(path.join(root, name)).filter((f) => f.startsWith('quorvel'));
    assert.deepEqual(pages, [], `${name} got pages`);
  }
});

// The tree of an album: "racine" and the ancestors as links, the album
// itself in red, then its sub-albums as links.
function expectedTree(album) {
  const parts = album.rel === '' ? [] : album.rel.split('/');
  const links = [];
  if (parts.length > 0) links.push({ label: 'racine', rel: '' });
  for (let i = 0; i < parts.length - 1; i++) links.push({ label: shownName(parts[i]), rel: parts.slice(0, i + 1).join('/') });
  for (const name of album.subAlbums) links.push({ label: shownName(name), rel: [...parts, name].join('/') });
  return { current: shownName(parts.at(-1) ?? 'racine'), links };
}

// Opens the album, then follows each of its tree links in turn.
async function treeProblems(page, album, base = root) {
  const problems = [];
  const { current, links } = expectedTree(album);
  const framesetPath = path.join(dirOf(album, base), FRAMESET);
  const treeFrame = async () => {
    await open(page, framesetPath);
    return album.kind === 'tree' ? page.mainFrame() : (await framesBySource(page))['quorvelTop.html'];
  };
  const frame = await treeFrame();
  const shown = await frame.locator('pre a').allTextContents();
  const expectedLabels = links.map((l) => l.label);
  if (JSON.stringify(shown) !== JSON.stringify(expectedLabels)) {
    problems.push(`tree links read ${named(shown)}, expected ${named(expectedLabels)}`);
  }
  const red = await frame.locator('pre font[color="#ff0000"]').allTextContents();
  if (red.join() !== current) problems.push(`the tree marks ${named(red)}, expected ${named(current)}`);

  for (const [i, link] of links.entries()) {
    const wanted = path.join(base, link.rel, FRAMESET);
    const found = (await treeFrame()).locator('pre a').nth(i);
    for (const p of await followTreeLink(page, found, wanted)) problems.push(`tree link ${named(link.label)} ${p}`);
  }
  return problems;
}

// Clicks each thumbnail and checks what the right frame then shows.
async function clickProblems(frames, album) {
  const problems = [];
  const dir = dirOf(album);
  const left = frames['quorvelLeft.html'];
  const right = frames['quorvelRight.html'];
  const names = await left.locator('img[name]').evaluateAll((imgs) => imgs.map((i) => i.getAttribute('name')));
  for (const [i, picture] of album.pictures.entries()) {
    const what = named(picture.name);
    if (!names[i]) break; // the thumbnail test reports missing thumbnails
    const wanted = path.join(dir, shownFile(picture));
    const landed = await clickAndWait(left.locator(`a:has(img[name="${names[i]}"])`), right, wanted);
    if (landed !== wanted) {
      problems.push(`clicking ${what} shows ${named(landed)}, expected ${named(wanted)}`);
      continue;
    }
    const shownImages = await images(right);
    if (shownImages.length === 0) problems.push(`clicking ${what} shows no picture`);
    for (const img of shownImages) {
      if (!img.loaded) problems.push(`clicking ${what}: ${named(urlPath(img.src))} did not load`);
    }
    problems.push(...(await linkProblems(right)));
    if (picture.show === 'medium' && shownImages.length > 0) {
      const [medium] = shownImages;
      const [w, h] = medium.natural;
      const box = tree.mediumBox;
      if (urlPath(medium.src) !== path.join(dir, mediumName(picture))) {
        problems.push(`${what}: the page shows ${named(urlPath(medium.src))}, not its medium view`);
      }
      // Fitted into the box: within it, and touching it on one side.
      if (!(w <= box.width && h <= box.height && (w === box.width || h === box.height))) {
        problems.push(`${what}: medium view ${w}x${h} does not fit the ${box.width}x${box.height} box`);
      }
      if (medium.written.join() !== medium.natural.join()) {
        problems.push(`${what}: medium view is ${w}x${h}, the page says ${medium.written.join('x')}`);
      }
      if (urlPath(medium.link ?? '') !== path.join(dir, picture.name)) {
        problems.push(`${what}: the medium view links to ${named(medium.link)}, not to the picture`);
      }
    }
    const first = shownImages[0];
    if (picture.show === 'caption' && first && urlPath(first.src) !== path.join(dir, picture.name)) {
      problems.push(`${what}: its page shows ${named(urlPath(first.src))}, not the picture`);
    }
    if (picture.caption) {
      const text = await visibleText(right);
      const caption = picture.caption.text;
      if (!text.includes(caption)) {
        problems.push(`${what}: its page reads ${named(text)}, without the caption ${named(caption)}`);
      }
    }
  }
  return problems;
}

for (const album of ALBUMS) {
  const label = album.rel === '' ? 'the root album' : `album ${named(album.rel)}`;
  describe(label, () => {
    let page;
    let seen;
    let frames;
    const dir = () => dirOf(album);

    before(async () => {
      page = await browser.context.newPage();
      seen = observe(page);
      await open(page, path.join(dir(), FRAMESET));
      frames = await framesBySource(page);
    });
    after(async () => page?.close());

    if (album.kind === 'tree') {
      test('its frameset page is a tree page that shows its title and its sub-albums', async () => {
        assert.deepEqual(Object.keys(frames), []);
        const text = await visibleText(page.mainFrame());
        for (const words of [album.title.title, album.title.text, ...album.subAlbums.map(shownName)]) {
          assert.ok(text.includes(words), `${named(words)} is not shown in ${named(text)}`);
        }
        assert.deepEqual(await linkProblems(page.mainFrame()), []);
      });
    } else {
      test('its three frames load', async () => {
        assert.deepEqual(await frameProblems(page, dir(), FRAMES), []);
      });

      test('every link and picture of its tree, column and right frame names an existing file', async () => {
        const problems = [];
        for (const name of FRAMES) if (frames[name]) problems.push(...(await linkProblems(frames[name])));
        assert.deepEqual(problems, []);
      });

      test('every thumbnail has loaded and fits its box, one per picture in name order', async () => {
        const micros = album.pictures.map((p) => path.join(dir(), microName(p)));
        assert.deepEqual(await thumbnailProblems(frames['quorvelLeft.html'], micros, tree.thumbBox), []);
      });

      const titles = album.pictures.filter((p) => p.caption).map((p) => p.caption.title);
      if (album.title || titles.length > 0) {
        test('the column shows the album title and the caption title under each thumbnail', async () => {
          const text = await visibleText(frames['quorvelLeft.html']);
          for (const words of [...(album.title ? [album.title.title, album.title.text] : []), ...titles]) {
            assert.ok(text.includes(words), `${named(words)} is not shown in ${named(text)}`);
          }
        });
      }

      if (album.pictures.length > 0) {
        test('hovering a thumbnail shows its rollover view and leaving it restores the thumbnail', async () => {
          const pairs = album.pictures.map((p) => ({
            micro: path.join(dir(), microName(p)),
            rollover: path.join(dir(), rolloverName(p)),
          }));
          assert.deepEqual(await hoverProblems(page, frames['quorvelLeft.html'], pairs), []);
        });

        test('clicking a thumbnail shows its page or picture in the right frame', async () => {
          assert.deepEqual(await clickProblems(frames, album), []);
        });
      }

      if (album.mp3) {
        test('its right frame first shows the MP3 page: the play list, then every MP3 file', async () => {
          const right = frames['quorvelRight.html'];
          const listed = ['liste.m3u', ...album.mp3];
          const items = await right.locator('li a')
            .evaluateAll((as) => as.map((a) => ({ text: a.textContent, url: a.href })));
          assert.deepEqual(items.map((a) => a.text), listed.map(shownName));
          assert.deepEqual(items.map((a) => urlPath(a.url)), listed.map((n) => path.join(dir(), n)));
          // The play list names files beside it, escaped as URLs.
          const list = fs.readFileSync(bytes(path.join(dir(), 'liste.m3u')), 'latin1')
            .split('\n').filter((l) => l && !l.startsWith('#'));
          const here = `${fileUrl(dir())}/`;
          const entries = list.map((entry) => urlPath(new URL(entry, here).href));
          assert.deepEqual(entries, album.mp3.map((n) => path.join(dir(), n)));
        });
      }

      if (album.videos) {
        test('its VIDEO link shows a player for every video', async () => {
          const left = frames['quorvelLeft.html'];
          const right = frames['quorvelRight.html'];
          assert.deepEqual(await left.locator('a').allTextContents(), [...(album.mp3 ? ['MP3'] : []), 'VIDEO']);
          const wanted = path.join(dir(), 'quorvelVideo.html');
          assert.equal(await clickAndWait(left.getByText('VIDEO'), right, wanted), wanted);
          const players = await right.locator('embed').evaluateAll((es) => es.map((e) => e.src));
          assert.deepEqual(players.map(urlPath), album.videos.map((n) => path.join(dir(), n)));
          assert.deepEqual(await right.locator('code').allTextContents(), album.videos.map(shownName));
          assert.deepEqual(await linkProblems(right), []);
        });
      }
    }

    test('its tree links lead to the albums around it', async () => {
      assert.deepEqual(await treeProblems(page, album), []);
    });

    test('no picture or page failed to load and no script failed', () => {
      assert.deepEqual(seen.failedRequests, []);
      assert.deepEqual(seen.scriptErrors, []);
    });
  });
}

// The checks above must fail on a broken album, or their passing means
// nothing: here one album loses a thumbnail, a rollover picture, its right
// frame and the frameset of its sub-album after quorvel made them.
describe('the checks on a broken album', () => {
  const base = path.join(work, 'broken');
  const album = { rel: '', kind: 'frames', subAlbums: ['sub'] };
  let page;
  let seen;
  let frames;

  before(async () => {
    for (const name of ['a.jpg', 'b.jpg', 'sub/c.jpg']) {
      fs.mkdirSync(path.dirname(path.join(base, name)), { recursive: true });
      fs.copyFileSync(path.join(SAMPLES, 'travel/2019/brume.jpg'), path.join(base, name));
    }
    assert.equal(quorvel(work, ['broken']).status, 0);
    for (const name of ['a.vi.jpg', 'b.vr.jpg', 'quorvelRight.html', 'sub/quorvelFrameset.html']) {
      fs.rmSync(path.join(base, name));
    }
    page = await browser.context.newPage();
    seen = observe(page);
    await open(page, path.join(base, FRAMESET));
    frames = await framesBySource(page);
  });
  after(async () => page?.close());

  test('report the frame, the thumbnail, the rollover picture and the sub-album that are missing', async () => {
    const left = frames['quorvelLeft.html'];
    const micros = ['a.vi.jpg', 'b.vi.jpg'].map((n) => path.join(base, n));
    const pairs = ['a', 'b'].map((n) => ({
      micro: path.join(base, `${n}.vi.jpg`),
      rollover: path.join(base, `${n}.vr.jpg`),
    }));
    assert.deepEqual(await frameProblems(page, base, FRAMES),
      ['frame quorvelRight.html did not load (chrome-error://chromewebdata/)']);
    assert.deepEqual(await thumbnailProblems(left, micros, tree.thumbBox), ['thumbnail "a.vi.jpg" did not load']);
    assert.deepEqual(await linkProblems(left),
      [`"quorvelLeft.html": <img> "a.vi.jpg" leads to missing ${printable(path.join(base, 'a.vi.jpg'))}`]);
    const subFrameset = printable(path.join(base, 'sub', FRAMESET));
    assert.deepEqual(await linkProblems(frames['quorvelTop.html']),
      [`"quorvelTop.html": <a> "sub/quorvelFrameset.html" leads to missing ${subFrameset}`]);
    const hover = await hoverProblems(page, left, pairs);
    assert.ok(hover.some((p) => p.startsWith('hovering "b.vi.jpg" shows "b.vr.jpg" (not loaded)')), printable(hover));
    assert.match((await treeProblems(page, album, base)).join('\n'), /^tree link "sub" leads to /);
    assert.ok(seen.failedRequests.length >= 3, printable(seen.failedRequests));
  });
});
