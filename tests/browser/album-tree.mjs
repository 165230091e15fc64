// Builds the picture tree that the browser test turns into an album, and
// describes what a visitor should find in it.
//
// Names are byte strings: every JS string here holds one byte per character
// (Latin-1), so 'caf\xE9' is an ISO-8859-1 name and 'caf\xC3\xA9' the same
// word in UTF-8 bytes. The pages declare ISO-8859-1, so a browser shows each
// byte as its Latin-1 letter, except where quorvel writes a UTF-8 name's
// characters as references: shownName gives the visible text of a name.

import fs from 'node:fs';
import path from 'node:path';

export const bytes = (s) => Buffer.from(s, 'latin1');

// The pages show a name that is well-formed UTF-8 holding a multi-byte
// character by its characters (written as references); any other name byte
// by byte, as its Latin-1 letters.
export function shownName(s) {
  const b = bytes(s);
  if (!b.some((c) => c >= 0x80)) return s;
  try {
    return new TextDecoder('utf-8', { fatal: true }).decode(b);
  } catch {
    return s;
  }
}

// Pictures come from the bundled samples: real JPEGs of several sizes, a GIF,
// an MP3 file and an MPEG video.
const SAMPLE = {
  large: 'coccinelle.jpg',              // 1024 x 640: gets a medium view
  wide: 'nature/fleur jaune.jpg',        // 800 x 500: medium
  portrait: 'nature/foret.jpg',          // 600 x 800: medium (too tall)
  lake: 'nature/mountains/lac.jpg',      // 1024 x 640
  storm: 'nature/mountains/orage.jpg',   // 800 x 533
  progressive: 'travel/20051225-Noel/crepuscule.jpg', // 1024 x 640, progressive
  jetty: 'travel/2019/ponton.jpg',       // 800 x 500
  small: 'travel/2019/brume.jpg',        // 400 x 250: thumbnail only
  gif: 'travel/20051225-Noel/feuille.gif', // 480 x 300 GIF: thumbnail only
  mp3: 'music/arpege.mp3',
  mpg: 'music/mire.mpg',
};

const MEDIUM_BOX = { width: 640, height: 480 };
const THUMB_BOX = { width: 96, height: 96 };

// One album directory as the visitor should find it. rel is root-relative
// without a trailing '/', '' for the root. kind: 'frames' for a frameset
// album, 'tree' for a directory whose frameset page is a plain tree page.
// Pictures, MP3 files, videos and sub-albums are listed in byte order, as
// the walk hands them over. A picture's show is what its thumbnail opens:
// 'medium' (name.md.html), 'caption' (name.html) or 'picture' (the picture
// itself). A caption or title block gives its file's content, the title shown
// in bold or under the thumbnail, and the text that its page reads.
export const ALBUMS = [
  {
    rel: '',
    kind: 'frames',
    title: { file: "<t>Album d'essai</t>\nPremi\xE8re visite \xE0 la plage", title: "Album d'essai",
      text: 'Premi\xE8re visite \xE0 la plage' },
    pictures: [
      { name: 'brume #2.jpg', from: 'small', show: 'caption',
        caption: { file: '<t>Brume &amp; soleil</t> au lever du jour', title: 'Brume & soleil',
          text: 'Brume & soleil au lever du jour' } },
      { name: 'brume 50%.jpg', from: 'small', show: 'picture' },
      { name: 'coccinelle.jpg', from: 'large', show: 'medium',
        caption: { file: '<t>Coccinelle</t> sur une feuille, \xE9t\xE9 2019', title: 'Coccinelle',
          text: 'Coccinelle sur une feuille, \xE9t\xE9 2019' } },
      { name: 'feuille.gif', from: 'gif', show: 'picture' },
      { name: "fleur d'\xC3\xA9t\xC3\xA9.jpg", from: 'wide', show: 'medium' },
    ],
    subAlbums: ['musique', 'voyages'],
  },
  {
    rel: 'musique',
    kind: 'frames',
    pictures: [],
    mp3: ['arpege.mp3', "chanson d'\xE9t\xE9 #1.mp3", 'r\xC3\xA9veil 100%.mp3'],
    videos: ['mire \xE9t\xE9.mpg', 'mire.mpg'],
    subAlbums: [],
  },
  {
    rel: 'voyages',
    kind: 'tree',
    title: { file: '<t>Voyages</t>\nDeux \xE9t\xE9s au bord du lac', title: 'Voyages',
      text: 'Deux \xE9t\xE9s au bord du lac' },
    pictures: [],
    subAlbums: ['No\xC3\xABl 50%', '\xE9t\xE9 2019'],
  },
  {
    rel: 'voyages/No\xC3\xABl 50%',
    kind: 'frames',
    pictures: [
      { name: 'brume.jpg', from: 'small', show: 'picture' },
      { name: 'cr\xC3\xA9puscule.jpg', from: 'progressive', show: 'medium' },
      { name: 'orage & pluie.jpg', from: 'storm', show: 'medium' },
    ],
    subAlbums: [],
  },
  {
    rel: 'voyages/\xE9t\xE9 2019',
    kind: 'frames',
    pictures: [
      { name: 'for\xEAt.jpg', from: 'portrait', show: 'medium',
        caption: { file: '<t>For\xEAt</t> en automne', title: 'For\xEAt', text: 'For\xEAt en automne' } },
      { name: "lac d'Annecy.jpg", from: 'lake', show: 'medium' },
    ],
    subAlbums: ['plage'],
  },
  {
    rel: 'voyages/\xE9t\xE9 2019/plage',
    kind: 'frames',
    pictures: [
      { name: "feuille d'or.gif", from: 'gif', show: 'caption',
        caption: { file: "<t>Feuille d'or</t> ramass\xE9e sur la plage", title: "Feuille d'or",
          text: "Feuille d'or ramass\xE9e sur la plage" } },
      { name: 'ponton #1.jpg', from: 'jetty', show: 'medium',
        caption: { file: '<t>Ponton</t> #1 \xE0 100%', title: 'Ponton', text: 'Ponton #1 \xE0 100%' } },
    ],
    subAlbums: [],
  },
];

// Directories that must not appear anywhere: nothing in them makes an album.
const NOT_ALBUMS = ['vide', 'notes'];

const withoutExt = (name) => name.slice(0, name.lastIndexOf('.'));

// What a thumbnail opens, as a file name beside the picture.
export function shownFile(picture) {
  if (picture.show === 'medium') return withoutExt(picture.name) + '.md.html';
  if (picture.show === 'caption') return withoutExt(picture.name) + '.html';
  return picture.name;
}
export const microName = (picture) => withoutExt(picture.name) + '.vi.jpg';
export const rolloverName = (picture) => withoutExt(picture.name) + '.vr.jpg';
export const mediumName = (picture) => withoutExt(picture.name) + '.md.jpg';

// Makes the tree under parent/album from the samples directory and returns
// { root, albums, notAlbums, mediumBox, thumbBox }; root is the album root's
// path, the albums are the descriptions above.
export function buildAlbumTree(parent, samplesDir) {
  const root = path.join(parent, 'album');
  const at = (...parts) => bytes(path.join(root, ...parts));
  const sample = (key) => path.join(samplesDir, SAMPLE[key]);

  fs.mkdirSync(at(), { recursive: true });
  for (const album of ALBUMS) {
    fs.mkdirSync(at(album.rel), { recursive: true });
    if (album.title) fs.writeFileSync(at(album.rel, 'title.txt'), bytes(album.title.file + '\n'));
    for (const picture of album.pictures) {
      fs.copyFileSync(sample(picture.from), at(album.rel, picture.name));
      if (picture.caption) {
        fs.writeFileSync(at(album.rel, withoutExt(picture.name) + '.txt'), bytes(picture.caption.file + '\n'));
      }
    }
    for (const name of album.mp3 ?? []) fs.copyFileSync(sample('mp3'), at(album.rel, name));
    for (const name of album.videos ?? []) fs.copyFileSync(sample('mpg'), at(album.rel, name));
  }
  fs.mkdirSync(at('vide'));
  fs.mkdirSync(at('notes'));
  fs.writeFileSync(at('notes', 'lisez-moi.txt'), 'rien \xE0 voir\n');

  return { root, albums: ALBUMS, notAlbums: NOT_ALBUMS, mediumBox: MEDIUM_BOX, thumbBox: THUMB_BOX };
}

// Writes JPEGs of any size, drawn by the browser of context from a sample
// photo (a bytes-only data URL, so the canvas stays readable) stretched to
// fill them: real photo content without an image tool. jpegs holds
// { file, width, height, from } (from: a path to a JPEG).
export async function writeJpegs(context, jpegs) {
  const page = await context.newPage();
  try {
    for (const { file, width, height, from } of jpegs) {
      const source = `data:image/jpeg;base64,${fs.readFileSync(from).toString('base64')}`;
      const encoded = await page.evaluate(async ({ source, width, height }) => {
        const img = new Image();
        img.src = source;
        await img.decode();
        const canvas = document.createElement('canvas');
        canvas.width = width;
        canvas.height = height;
        canvas.getContext('2d').drawImage(img, 0, 0, width, height);
        const blob = await new Promise((resolve) => canvas.toBlob(resolve, 'image/jpeg', 0.9));
        const bytes = new Uint8Array(await blob.arrayBuffer());
        let text = '';
        for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
        return btoa(text);
      }, { source, width, height });
      fs.mkdirSync(path.dirname(file), { recursive: true });
      fs.writeFileSync(file, Buffer.from(encoded, 'base64'));
    }
  } finally {
    await page.close();
  }
}
