// The board in the page: one event stream from boardsim keeps everything
// here in step with the board (and with every other page on it); what a
// person does goes back as a small request.
import { drawLcd, frameBytes } from './lcd.js';
import { Analyzer } from './analyzer.js';
import { Scope } from './scope.js';

const token = new URLSearchParams(location.search).get('token');
const withToken = (path) => (token ? `${path}${path.includes('?') ? '&' : '?'}token=${encodeURIComponent(token)}` : path);
const $ = (id) => document.getElementById(id);

function post(path, body) {
  return fetch(withToken(path), { method: 'POST', body }).then((r) => {
    if (!r.ok) r.text().then((t) => console.warn(path, r.status, t));
  });
}

// Terminals: what the board sends, as a terminal at the host's rate reads
// it; what is typed goes to the UART's RxD at the line's rate.
function terminal(uart) {
  const term = new window.Terminal({
    convertEol: true, fontSize: 13, scrollback: 2000, cursorBlink: true,
    theme: { background: '#000000' },
  });
  const fit = new window.FitAddon.FitAddon();
  term.loadAddon(fit);
  term.open($(`uart${uart}`));
  fit.fit();
  window.addEventListener('resize', () => fit.fit());
  const encoder = new TextEncoder();
  term.onData((data) => post(`/api/uart${uart}`, encoder.encode(data)));
  return term;
}
const terminals = [terminal(0), terminal(1)];

const analyzer = new Analyzer($('analyzer'), $('span'));
const scope = new Scope($('scope'), $('scope-trace'), $('scope-spectrum'), $('scope-figures'));
let state = null;

// Keys: held as long as the mouse button, finger or keyboard key is; the
// board keeps a quick click down long enough for the firmware to see it.
function keyDown(key) { post(`/api/key?key=${key}&down=1`); }
function keyUp(key) { post(`/api/key?key=${key}&down=0`); }
for (const button of document.querySelectorAll('.key')) {
  const key = button.dataset.key;
  let held = false;
  const release = () => { if (held) { held = false; keyUp(key); } };
  button.addEventListener('pointerdown', (e) => {
    button.setPointerCapture(e.pointerId);
    held = true;
    keyDown(key);
  });
  button.addEventListener('pointerup', release);
  button.addEventListener('pointercancel', release);
  button.addEventListener('lostpointercapture', release);
}
const keysHeld = new Set();
window.addEventListener('keydown', (e) => {
  if (e.target.closest('.terminal') || e.target.closest('input, select') || e.repeat) return;
  if (e.key >= '1' && e.key <= '4' && !keysHeld.has(e.key)) {
    keysHeld.add(e.key);
    keyDown(e.key);
  }
});
window.addEventListener('keyup', (e) => {
  if (keysHeld.delete(e.key)) keyUp(e.key);
});

$('run').addEventListener('click', () => post(state && state.running ? '/api/pause' : '/api/run'));
$('reset').addEventListener('click', () => post('/api/reset'));
$('speed').addEventListener('change', (e) => post(`/api/speed?x=${e.target.value}`));
$('pins').addEventListener('change', (e) => post(`/api/pins?list=${encodeURIComponent(e.target.value.replace(/\s+/g, ''))}`));

function showState(s) {
  state = s;
  $('image').textContent = s.image;
  document.title = `boardsim ${s.image}`;
  $('time').textContent = `${s.time.toFixed(3)} s`;
  $('instructions').textContent = s.instructions.toLocaleString('en');
  $('realspeed').textContent = `${s.realSpeed.toFixed(2)}x`;
  const status = $('status');
  status.textContent = s.status;
  status.classList.toggle('fault', s.status.startsWith('FAULT'));
  $('run').textContent = s.running ? 'Pause' : 'Run';
  const led = $('led');
  led.classList.toggle('on', s.led.on);
  led.classList.toggle('off', !s.led.on);
  $('led-text').textContent = s.led.driven ? (s.led.on ? 'on' : 'off') : 'not driven';
  s.keys.forEach((down, i) => $(`key${i + 1}`).classList.toggle('down', down));
  const speed = $('speed');
  if (document.activeElement !== speed) {
    const value = String(s.speed);
    if (![...speed.options].some((o) => o.value === value)) speed.add(new Option(`${value}x`, value));
    speed.value = value;
  }
  s.uart.forEach((u, i) => { $(`uart${i}-count`).textContent = `${u.sent} bytes from the board, ${u.typed} typed`; });
  analyzer.setNow(s.time);
}

const events = new EventSource(withToken('/api/events'));
const on = (name, handler) => events.addEventListener(name, (e) => handler(JSON.parse(e.data)));
on('state', showState);
let lcdShown = null;
on('lcd', (lcd) => {
  lcdShown = frameBytes(lcd.frame);
  drawLcd($('lcd'), lcdShown);
  const blank = $('lcd-blank');
  blank.hidden = !lcd.blank;
  blank.textContent = lcd.blank;
});
for (const uart of [0, 1]) {
  on(`uart${uart}`, (u) => {
    if (u.reset) terminals[uart].reset();
    if (u.bytes.length) terminals[uart].write(new Uint8Array(u.bytes));
  });
}
on('pinsetup', (setup) => {
  analyzer.setup(setup);
  if (document.activeElement !== $('pins')) $('pins').value = setup.pins.join(',');
});
on('pins', (batch) => analyzer.add(batch));
on('scope', (s) => scope.show(s));
events.addEventListener('error', () => { $('status').textContent = 'reconnecting'; });

$('zoom-in').addEventListener('click', () => analyzer.zoom(0.5));
$('zoom-out').addEventListener('click', () => analyzer.zoom(2));
$('follow').addEventListener('click', () => analyzer.follow(true));
analyzer.onFollowChange = (following) => $('follow').classList.toggle('active', following);

// For scripts and tests that drive the page.
window.boardsim = { terminals, analyzer, scope, get state() { return state; }, get lcd() { return lcdShown; } };
