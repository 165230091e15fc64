// Headless Chromium for the album tests and the screenshot tool: Debian's
// /usr/bin/chromium driven through playwright-core, never a downloaded browser.

import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

export const CHROMIUM = process.env.QUORVEL_CHROMIUM || '/usr/bin/chromium';

// Without the background-networking flags Chromium keeps trying to reach
// hosts that a closed network refuses.
const FLAGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-quic',
];

// Starts Chromium with a fresh profile. Returns { context, close }; close()
// ends the browser and removes the profile. mobile: lay pages out as a
// phone does (viewport meta honoured, touch, three device pixels per CSS px).
export async function launch({ width = 1280, height = 800, mobile = false } = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    args: FLAGS,
    viewport: { width, height },
    ...(mobile ? { isMobile: true, hasTouch: true, deviceScaleFactor: 3 } : {}),
    acceptDownloads: false,
  });
  return {
    context,
    async close() {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// file:// address of a byte-string path: every byte outside the unreserved
// set is escaped, so ISO-8859-1 and UTF-8 names both reach the right file.
export function fileUrl(bytePath) {
  let url = 'file://';
  for (const b of Buffer.from(path.resolve(bytePath), 'latin1')) {
    const c = String.fromCharCode(b);
    url += /[A-Za-z0-9\-._~/]/.test(c) ? c : '%' + b.toString(16).toUpperCase().padStart(2, '0');
  }
  return url;
}

// The byte-string path a file:// address names (percent escapes decoded
// byte for byte, query and fragment dropped); null for any other scheme.
export function urlPath(url) {
  const u = new URL(url);
  if (u.protocol !== 'file:') return null;
  const out = [];
  const p = u.pathname;
  for (let i = 0; i < p.length; i++) {
    if (p[i] === '%' && /^[0-9A-Fa-f]{2}$/.test(p.slice(i + 1, i + 3))) {
      out.push(parseInt(p.slice(i + 1, i + 3), 16));
      i += 2;
    } else {
      out.push(p.charCodeAt(i));
    }
  }
  return Buffer.from(out).toString('latin1');
}

export const exists = (bytePath) => fs.existsSync(Buffer.from(bytePath, 'latin1'));

// A byte string for messages and test names: printable ASCII as it is,
// every other byte as \xNN, so that both encodings of a name read plainly.
export function printable(s) {
  if (Array.isArray(s)) return `[${s.map(printable).join(', ')}]`;
  if (typeof s !== 'string') return String(s);
  return `"${s.replace(/[^\x20-\x7E]/g, (c) => `\\x${c.charCodeAt(0).toString(16).toUpperCase().padStart(2, '0')}`)}"`;
}

// Serves the files below dir over HTTP on 127.0.0.1 and a free port (a
// server.address().port), as a plain static web server would: names
// percent-decoded, nothing outside dir, no folder listings.
export function serve(dir) {
  return new Promise((resolve) => {
    const server = http.createServer((req, res) => {
      const file = path.join(dir, decodeURIComponent(new URL(req.url, 'http://x').pathname));
      if (!file.startsWith(dir) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
        res.writeHead(404).end();
        return;
      }
      const type = file.endsWith('.html') ? 'text/html' : file.endsWith('.jpg') ? 'image/jpeg' : 'application/octet-stream';
      res.writeHead(200, { 'Content-Type': type }).end(fs.readFileSync(file));
    });
    server.listen(0, '127.0.0.1', () => resolve(server));
  });
}
