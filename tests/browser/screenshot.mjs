// Saves a screenshot of an album as a visitor first sees it, in headless
// Chromium. Used through scripts/screenshot.sh.
//
//   node screenshot.mjs [--phone] [--click-first] <frameset> <out.png>
//
// Both files are given as paths or as file:// URLs (for names that are not
// UTF-8). --phone lays the album out on a 390 x 844 phone instead of a
// 1280 x 800 screen. --click-first also clicks the first thumbnail, so that
// the right frame shows a picture.

import fs from 'node:fs';
import path from 'node:path';
import { exists, fileUrl, launch, printable, urlPath } from './browser.mjs';

const args = process.argv.slice(2);
const phone = args[0] === '--phone';
if (phone) args.shift();
const clickFirst = args[0] === '--click-first';
if (clickFirst) args.shift();
if (args.length !== 2) {
  console.error('usage: screenshot.mjs [--phone] [--click-first] <frameset> <out.png>');
  process.exit(2);
}
// As byte strings (one Latin-1 character per byte).
const bytePath = (arg) =>
  arg.startsWith('file:') ? urlPath(arg) : Buffer.from(path.resolve(arg)).toString('latin1');
const [frameset, png] = args.map(bytePath);
if (!exists(frameset)) {
  console.error(`screenshot: no such album page: ${printable(frameset)}`);
  process.exit(1);
}

const browser = await launch(phone ? { width: 390, height: 844, mobile: true } : { width: 1280, height: 800 });
try {
  const page = await browser.context.newPage();
  await page.goto(fileUrl(frameset), { waitUntil: 'load' });
  const right = page.frame({ name: 'right' });
  if (clickFirst && right) {
    for (const frame of page.frames()) {
      const thumbnail = frame.locator('a:has(img[name])').first();
      if ((await thumbnail.count()) > 0) {
        const before = right.url();
        await thumbnail.click();
        await right.waitForURL((u) => u.href !== before);
        await right.waitForLoadState('load');
        break;
      }
    }
  }
  fs.writeFileSync(Buffer.from(png, 'latin1'), await page.screenshot());
} finally {
  await browser.close();
}
