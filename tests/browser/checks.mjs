// What a visitor of an album would notice, as lists of problems (empty when
// all is well), so that a failing test names every broken thing at once.
//
// Paths and names are byte strings (one Latin-1 character per byte), as in
// album-tree.mjs.

import path from 'node:path';
import { exists, fileUrl, printable, urlPath } from './browser.mjs';

const show = printable;
const lastName = (bytePath) => bytePath.slice(bytePath.lastIndexOf('/') + 1);

// The images of a frame's document in page order, once it has loaded.
export async function images(frame) {
  await frame.waitForLoadState('load');
  return frame.evaluate(() =>
    [...document.images].map((img) => ({
      name: img.getAttribute('name'),
      src: img.src,
      loaded: img.complete && img.naturalWidth > 0,
      natural: [img.naturalWidth, img.naturalHeight],
      written: [img.getAttribute('width'), img.getAttribute('height')],
      link: img.closest('a')?.href ?? null,
    })));
}

// Records what goes wrong behind the visitor's back: requests that fail
// (a missing picture, a preload of a wrong name) and script errors.
export function observe(page) {
  const seen = { failedRequests: [], scriptErrors: [] };
  page.on('requestfailed', (r) => {
    const p = urlPath(r.url());
    seen.failedRequests.push(`${p === null ? r.url() : show(p)}: ${r.failure()?.errorText}`);
  });
  page.on('pageerror', (e) => seen.scriptErrors.push(e.message));
  return seen;
}

export async function open(page, bytePath) {
  await page.goto(fileUrl(bytePath), { waitUntil: 'load' });
}

// The frames of an opened frameset, by the file name their <frame> loads.
export async function framesBySource(page) {
  const frames = {};
  for (const element of await page.$$('frame, iframe')) {
    frames[await element.getAttribute('src')] = await element.contentFrame();
  }
  return frames;
}

// Every frame of the opened frameset shows an existing file of dir.
export async function frameProblems(page, dir, expectedSources) {
  const problems = [];
  const frames = await framesBySource(page);
  const sources = Object.keys(frames);
  if (sources.join() !== expectedSources.join()) {
    problems.push(`frames load ${show(sources)}, expected ${show(expectedSources)}`);
  }
  for (const [source, frame] of Object.entries(frames)) {
    const p = frame ? urlPath(frame.url()) : null;
    if (p === null || !exists(p)) {
      problems.push(`frame ${source} did not load (${frame ? frame.url() : 'no frame'})`);
    } else if (path.dirname(p) !== dir) {
      problems.push(`frame ${source} shows ${show(p)}, outside ${show(dir)}`);
    }
  }
  return problems;
}

// Every href and src of the frame's document names an existing file.
export async function linkProblems(frame) {
  const page = lastName(urlPath(frame.url()) ?? frame.url());
  const links = await frame.evaluate(() =>
    [...document.querySelectorAll('a[href], img[src], embed[src], frame[src]')].map((e) => ({
      tag: e.tagName.toLowerCase(),
      written: e.getAttribute(e.tagName === 'A' ? 'href' : 'src'),
      url: e.tagName === 'A' ? e.href : e.src,
    })));
  const problems = [];
  for (const link of links) {
    const target = urlPath(link.url);
    if (target !== null && !exists(target)) {
      problems.push(`${show(page)}: <${link.tag}> ${show(link.written)} leads to missing ${show(target)}`);
    }
  }
  return problems;
}

// Every thumbnail has loaded, fits the box { width, height } touching it
// on one side, and the column shows exactly the expected micro pictures
// (byte-string paths) in order.
export async function thumbnailProblems(left, expectedMicros, box) {
  const problems = [];
  const thumbs = await images(left);
  const shown = thumbs.map((t) => urlPath(t.src));
  if (JSON.stringify(shown) !== JSON.stringify(expectedMicros)) {
    problems.push(`thumbnails show ${show(shown.map(lastName))}, expected ${show(expectedMicros.map(lastName))}`);
  }
  for (const t of thumbs) {
    const name = lastName(urlPath(t.src) ?? t.src);
    const [w, h] = t.natural;
    if (!t.loaded) {
      problems.push(`thumbnail ${show(name)} did not load`);
    } else if (!(w <= box.width && h <= box.height && (w === box.width || h === box.height))) {
      problems.push(`thumbnail ${show(name)} is ${w}x${h}, not fitted into ${box.width}x${box.height}`);
    } else if (t.written[0] !== null && t.written.join() !== t.natural.join()) {
      problems.push(`thumbnail ${show(name)} is ${w}x${h} but the page says ${t.written.join('x')}`);
    }
  }
  return problems;
}

const imageState = (frame, imageName) =>
  frame.evaluate((n) => {
    const img = document.images[n];
    return { src: img.src, complete: img.complete, loaded: img.complete && img.naturalWidth > 0 };
  }, imageName);

// Waits until the named image has finished loading (or failing to load) the
// byte-string path wanted; gives the state seen last when it never does.
async function waitForImage(frame, imageName, wanted) {
  const deadline = Date.now() + 5000;
  for (;;) {
    const state = await imageState(frame, imageName);
    if ((urlPath(state.src) === wanted && state.complete) || Date.now() > deadline) return state;
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

// Pointing at each thumbnail shows its rollover picture; moving off it (to
// the empty margin of the column) puts the thumbnail back. pairs holds
// { micro, rollover } byte-string paths in page order.
export async function hoverProblems(page, left, pairs) {
  const problems = [];
  const thumbs = await images(left);
  for (const [i, thumb] of thumbs.entries()) {
    const { micro, rollover } = pairs[i] ?? {};
    if (!micro) break;
    const image = left.locator(`img[name="${thumb.name}"]`);
    await image.hover();
    let state = await waitForImage(left, thumb.name, rollover);
    if (urlPath(state.src) !== rollover || !state.loaded) {
      problems.push(`hovering ${show(lastName(micro))} shows ${show(lastName(urlPath(state.src) ?? state.src))}` +
        `${state.loaded ? '' : ' (not loaded)'}, expected ${show(lastName(rollover))}`);
    }
    const box = await image.boundingBox();
    await page.mouse.move(2, box.y + box.height / 2);
    state = await waitForImage(left, thumb.name, micro);
    if (urlPath(state.src) !== micro || !state.loaded) {
      problems.push(`leaving ${show(lastName(micro))} shows ${show(lastName(urlPath(state.src) ?? state.src))}`);
    }
  }
  return problems;
}

// Chromium shows a file that can't be opened as an error page of this scheme.
const arrived = (wanted) => (u) => urlPath(u.href) === wanted || u.protocol === 'chrome-error:';

// Clicks the element and waits until the frame shows the byte-string path
// wanted; gives the path it shows then (or after the wait ran out).
export async function clickAndWait(element, frame, wanted) {
  await element.click();
  try {
    await frame.waitForURL(arrived(wanted), { timeout: 5000 });
  } catch {
    // Reported by the caller, with what the frame shows instead.
  }
  await frame.waitForLoadState('load');
  return urlPath(frame.url()) ?? frame.url();
}

// The text a visitor reads in a frame, with runs of white space made one.
export async function visibleText(frame) {
  const text = await frame.evaluate(() => document.body?.innerText ?? '');
  return text.replace(/\s+/g, ' ').trim();
}

// Clicks a tree link, which opens its album in the whole window, and tells
// what is wrong with where it leads (the byte-string path wanted).
export async function followTreeLink(page, link, wanted) {
  const problems = [];
  await link.click();
  try {
    await page.waitForURL(arrived(wanted), { timeout: 5000 });
  } catch {
    // Reported below.
  }
  await page.waitForLoadState('load');
  const landed = urlPath(page.url()) ?? page.url();
  if (landed !== wanted) {
    problems.push(`leads to ${show(landed)}, expected ${show(wanted)}`);
  } else if (!exists(landed)) {
    problems.push(`leads to missing ${show(landed)}`);
  } else {
    for (const frame of page.mainFrame().childFrames()) {
      if (!frame.url().startsWith('file:')) {
        problems.push(`leads to a frameset whose frame ${frame.name() || '?'} did not load`);
      }
    }
  }
  return problems;
}
