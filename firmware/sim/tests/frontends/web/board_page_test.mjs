// The page of boardsim --web in a real browser (Debian's chromium, driven
// by puppeteer-core): one browser for the group, two boards (the firmware
// and a serial echo image). Run by CTest as
//   node --test board_page_test.mjs
// with BOARDSIM, FIRMWARE_ELF, ECHO_ELF, CHROMIUM and SCREENSHOT set.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import puppeteer from 'puppeteer-core';

const { BOARDSIM, FIRMWARE_ELF, ECHO_ELF, CHROMIUM = '/usr/bin/chromium', SCREENSHOT } = process.env;
// Polled: a page behind the front one gets no animation frames to poll on.
const WAIT = { timeout: 15000, polling: 100 };

// boardsim --web on a free port; resolves with its address once it says it.
function serve(image) {
  return new Promise((resolve, reject) => {
    const child = spawn(BOARDSIM, [image, '--web', '0'], { stdio: ['ignore', 'ignore', 'pipe'] });
    let said = '';
    child.stderr.on('data', (chunk) => {
      said += chunk;
      const found = said.match(/the board is at (http:\S+)/);
      if (found) resolve({ child, url: found[1] });
    });
    child.on('exit', (code) => reject(new Error(`boardsim ended (${code}) before serving: ${said}`)));
  });
}

async function post(board, path) {
  const response = await fetch(new URL(path, board.url), { method: 'POST' });
  assert.equal(response.status, 204, `${path}: ${await response.text()}`);
}

// The terminal draws only while it is in view: its page comes to the front.
async function waitForUart(page, text) {
  await page.bringToFront();
  await page.waitForFunction((t) => document.querySelector('#uart0 .xterm-rows')?.textContent.includes(t), WAIT, text);
}
const lcdBytes = (page) => page.evaluate(() => Array.from(window.boardsim.lcd || []));
// The rows where the marker's column (x < 16) has dark pixels, below the
// title and its rule (which span the glass).
const FIRST_MENU_ROW = 12;
function markerRows(bytes) {
  const rows = [];
  for (let y = FIRST_MENU_ROW; y < 48; ++y) {
    for (let x = 0; x < 16; ++x) {
      if ((bytes[(y >> 3) * 84 + x] >> (y & 7)) & 1) { rows.push(y); break; }
    }
  }
  return rows;
}

let browser;
let profile;
let firmware;
let echo;

before(async () => {
  [firmware, echo] = await Promise.all([serve(FIRMWARE_ELF), serve(ECHO_ELF)]);
  profile = mkdtempSync(join(tmpdir(), 'boardsim-chromium-'));
  browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    userDataDir: profile,
    // Pages behind the front one go on drawing, as tabs in separate windows do.
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--disable-background-timer-throttling',
      '--disable-renderer-backgrounding', '--disable-backgrounding-occluded-windows'],
  });
});

after(async () => {
  await browser?.close();
  for (const board of [firmware, echo]) board?.child.kill('SIGTERM');
  if (profile) rmSync(profile, { recursive: true, force: true });
});

async function open(board) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 1000 });
  page.on('pageerror', (e) => { throw e; });
  await page.goto(board.url);
  return page;
}

test('the page shows the greeting in #uart0, the LED blinking and the time going on', async () => {
  const page = await open(firmware);
  await waitForUart(page, 'Hello my first UART pro');
  await page.waitForFunction(() => document.querySelector('#led').classList.contains('on'), WAIT);
  await page.waitForFunction(() => document.querySelector('#led').classList.contains('off'), WAIT);
  const time = await page.$eval('#time', (e) => parseFloat(e.textContent));
  await page.waitForFunction((t) => parseFloat(document.querySelector('#time').textContent) > t + 0.2, WAIT, time);
  await page.close();
});

test('the LCD canvas is /api/lcd.png pixel for pixel', async () => {
  const page = await open(firmware);
  await page.waitForFunction(() => window.boardsim.state, WAIT);
  await post(firmware, '/api/pause');
  await page.waitForFunction(() => window.boardsim.state && !window.boardsim.state.running, WAIT);
  const difference = await page.evaluate(async () => {
    const canvas = document.querySelector('#lcd');
    const picture = await createImageBitmap(await (await fetch('/api/lcd.png')).blob());
    const other = new OffscreenCanvas(picture.width, picture.height);
    other.getContext('2d').drawImage(picture, 0, 0);
    if (picture.width !== canvas.width || picture.height !== canvas.height) return 'size';
    const a = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const b = other.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let differing = 0;
    for (let i = 0; i < a.length; ++i) differing += a[i] !== b[i];
    const dark = a.filter((v, i) => i % 4 === 0 && v < 100).length;
    return { differing, dark };
  });
  await post(firmware, '/api/run');
  assert.notEqual(difference, 'size');
  assert.equal(difference.differing, 0);
  assert.ok(difference.dark > 1000, 'the menu is on the glass');
  await page.close();
});

test('a click on #key2 moves the menu marker down, in every open page', async () => {
  const pages = [await open(firmware), await open(firmware)];
  for (const page of pages) await waitForUart(page, 'Hello');
  const before = markerRows(await lcdBytes(pages[0]));
  assert.ok(before.length > 0, 'a marker is shown');
  await pages[0].bringToFront();  // input goes to the page in front
  await pages[0].click('#key2');
  for (const page of pages) {
    await page.waitForFunction((first, top) => {
      const bytes = window.boardsim.lcd;
      for (let y = top; y < 48; ++y) {
        for (let x = 0; x < 16; ++x) if ((bytes[(y >> 3) * 84 + x] >> (y & 7)) & 1) return y > first;
      }
      return false;
    }, WAIT, before[0], FIRST_MENU_ROW);
  }
  const after = markerRows(await lcdBytes(pages[1]));
  assert.ok(after[0] > before[0], `the marker went down: rows ${before[0]} -> ${after[0]}`);
  // Back where it was, for the tests after this one.
  await post(firmware, '/api/press?key=1');
  for (const page of pages) await page.close();
});

test('two tabs stay in step: the same time, LCD, LED and terminal text once the board is paused', async () => {
  const pages = [await open(firmware), await open(firmware)];
  for (const page of pages) await waitForUart(page, 'Hello');
  await post(firmware, '/api/pause');
  const looks = async (page) => {
    await page.waitForFunction(() => window.boardsim.state && !window.boardsim.state.running, WAIT);
    await new Promise((r) => setTimeout(r, 200));
    return page.evaluate(() => ({
      time: document.querySelector('#time').textContent,
      instructions: document.querySelector('#instructions').textContent,
      led: document.querySelector('#led').className,
      lcd: Array.from(window.boardsim.lcd).join(','),
      uart: document.querySelector('#uart0 .xterm-rows').textContent,
    }));
  };
  const first = await looks(pages[0]);
  await pages[1].bringToFront();
  const second = await looks(pages[1]);
  await post(firmware, '/api/run');
  assert.deepEqual(second, first);
  assert.ok(first.uart.includes('Hello my first UART pro'));
  for (const page of pages) await page.close();
});

test('text typed in #uart0 reaches UART0 and comes back from an echo image', async () => {
  const page = await open(echo);
  await waitForUart(page, 'echo ready');
  await page.click('#uart0');
  // Keys reach the terminal once its input has the focus (later than the
  // click on a loaded machine).
  await page.waitForFunction(() => document.activeElement?.classList.contains('xterm-helper-textarea'), WAIT);
  await page.keyboard.type('ping 42');
  const stateOf = async () => (await fetch(new URL('/api/state', echo.url))).json();
  for (let tries = 0; (await stateOf()).uart[0].typed < 7 && tries < 150; ++tries) {
    await new Promise((r) => setTimeout(r, 100));
  }
  assert.equal((await stateOf()).uart[0].typed, 7, 'the typed text reached the board');
  // What the terminal holds (its buffer: drawing it waits for an animation
  // frame, which a loaded machine gives late).
  await page.waitForFunction((t) => {
    const buffer = window.boardsim.terminals[0].buffer.active;
    let text = '';
    for (let y = 0; y < buffer.length; ++y) text += `${buffer.getLine(y).translateToString(true)}\n`;
    return text.includes(t);
  }, { timeout: 15000, polling: 100 }, 'echo ready\nping 42');
  const state = await stateOf();
  assert.equal(state.uart[0].typed, 7);
  assert.equal(state.uart[0].sent, 'echo ready\n'.length + 7);
  await page.close();
});

test('the analyzer decodes the greeting under TxD0', async () => {
  const page = await open(firmware);
  await waitForUart(page, 'Hello');
  await post(firmware, '/api/reset');
  await page.waitForFunction(() => {
    const row = window.boardsim.analyzer.byPin?.get(0);
    return row && row.bytes.map((b) => b[2]).join(' ').includes("6F 'o'");
  }, WAIT);
  const labels = await page.evaluate(() => window.boardsim.analyzer.byPin.get(0).bytes.map((b) => b[2].split("'")[1]));
  assert.ok(labels.join('').startsWith('Hello my first UART pro'), labels.join(''));
  if (SCREENSHOT) {
    // The greeting leaving on TxD0, for the manual's picture.
    await page.evaluate(() => {
      const { analyzer } = window.boardsim;
      analyzer.follow(false);
      analyzer.end = 0.0027;
      analyzer.span = 0.0024;
      analyzer.dirty = true;
    });
    await new Promise((r) => setTimeout(r, 500));
    await page.screenshot({ path: SCREENSHOT, fullPage: true });
  }
  await page.close();
});

test('the scope shows the sine the Signal screen plays through the DAC', async () => {
  const page = await open(firmware);
  await post(firmware, '/api/reset');
  await waitForUart(page, 'Hello');
  assert.equal(await page.$eval('#scope', (e) => e.hidden), true, 'nothing played yet: no scope');
  // From the start-up menu: down twice to "Signal", then play.
  for (const key of [2, 2, 3]) {
    await post(firmware, `/api/press?key=${key}`);
    await new Promise((r) => setTimeout(r, 400));
  }
  await page.waitForFunction(() => !document.querySelector('#scope').hidden, WAIT);
  const tone = (low, high) => page.waitForFunction((lo, hi) => {
    const views = window.boardsim.scope.last?.outputs ?? [];
    return views.some((o) => o.max - o.min > 0.9 && o.spectrum.peakHz > lo && o.spectrum.peakHz < hi);
  }, { timeout: 20000, polling: 200 }, low, high);
  // Option 5: 0 to 1 V (its 2 Hz lies below the spectrum's first bins).
  await tone(0, Infinity);
  // KEY_2 five times: option 6, then option 7 at steps 2, 8, 32 and 128, 256 Hz.
  for (let n = 0; n < 5; ++n) {
    await post(firmware, '/api/press?key=2');
    await new Promise((r) => setTimeout(r, 400));
  }
  await tone(251, 261);
  const figures = await page.$eval('#scope-figures', (e) => e.textContent);
  assert.match(figures, /25\d\.\d\d Hz/);
  if (SCREENSHOT) {
    // The sine and its spectrum, for the signal generator's manual.
    await new Promise((r) => setTimeout(r, 1000));
    const scope = await page.$('#scope');
    await scope.screenshot({ path: join(dirname(SCREENSHOT), 'signal-scope.png') });
  }
  await post(firmware, '/api/press?key=4');  // stop, for whatever runs after
  await page.close();
});
