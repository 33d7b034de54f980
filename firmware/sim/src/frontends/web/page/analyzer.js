// A logic-analyzer strip: one row per chosen pin, its level over simulated
// time, the bytes boardsim decoded on it beneath (UART frames, SPI bytes),
// and a hatched band where a pin changed too often to send every edge. It
// follows the board's time at the right edge ("Live") until dragged; the
// wheel or the buttons zoom.
const PIN_NAMES = {
  0: 'TxD0', 1: 'RxD0', 4: 'SCK0', 6: 'MOSI0', 7: 'SSEL0', 8: 'TxD1', 9: 'RxD1', 14: 'BSL',
  16: 'KEY_1', 17: 'KEY_2', 18: 'KEY_3', 19: 'KEY_4', 20: 'LCD D/C', 21: 'LCD SCE', 22: 'LCD RES',
  23: 'DAC /CS', 31: 'LED',
};
const KEEP_SECONDS = 30;
const KEEP_EDGES = 200000;
const LABEL_WIDTH = 92;
const ROW_HEIGHT = 34;
const MIN_SPAN = 1e-6;
const MAX_SPAN = 20;

export function timeText(seconds) {
  const abs = Math.abs(seconds);
  if (abs >= 1) return `${+seconds.toFixed(3)} s`;
  if (abs >= 1e-3) return `${+(seconds * 1e3).toFixed(3)} ms`;
  return `${+(seconds * 1e6).toFixed(3)} µs`;
}

// The index of the last item whose time (item[0]) is at or before t, or -1.
function lastAtOrBefore(items, t) {
  let low = 0;
  let high = items.length;
  while (low < high) {
    const mid = (low + high) >> 1;
    if (items[mid][0] <= t) low = mid + 1; else high = mid;
  }
  return low - 1;
}

export class Analyzer {
  constructor(canvas, spanLabel) {
    this.canvas = canvas;
    this.spanLabel = spanLabel;
    this.rows = [];
    this.now = 0;
    this.span = 0.005;
    this.following = true;
    this.end = 0;
    this.dirty = true;
    this.onFollowChange = () => {};
    canvas.addEventListener('wheel', (e) => { e.preventDefault(); this.zoom(e.deltaY < 0 ? 0.8 : 1.25); }, { passive: false });
    let dragFrom = null;
    canvas.addEventListener('pointerdown', (e) => {
      dragFrom = { x: e.clientX, end: this.right() };
      canvas.setPointerCapture(e.pointerId);
    });
    canvas.addEventListener('pointermove', (e) => {
      if (!dragFrom) return;
      const perPixel = this.span / Math.max(1, canvas.clientWidth - LABEL_WIDTH);
      this.end = dragFrom.end - (e.clientX - dragFrom.x) * perPixel;
      this.follow(false);
    });
    canvas.addEventListener('pointerup', () => { dragFrom = null; });
    const frame = () => {
      if (this.dirty) this.draw();
      requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
  }

  right() { return this.following ? this.now : this.end; }

  setup({ pins, levels, time }) {
    this.rows = pins.map((pin) => ({
      pin, start: time, initial: (levels >>> pin) & 1, edges: [], dense: [], bytes: [],
    }));
    this.byPin = new Map(this.rows.map((r) => [r.pin, r]));
    this.now = time;  // a reset board starts again at 0: nothing before is kept
    this.canvas.height = Math.max(1, this.rows.length) * ROW_HEIGHT + 22;
    this.dirty = true;
  }

  add({ edges, bytes, dense }) {
    if (!this.byPin) return;
    for (const [pin, t, level] of edges) this.byPin.get(pin)?.edges.push([t, level ? 1 : 0]);
    for (const [pin, from, to, label] of bytes) this.byPin.get(pin)?.bytes.push([from, to, label]);
    for (const [pin, from, to, level] of dense) this.byPin.get(pin)?.dense.push([from, to, level ? 1 : 0]);
    this.prune();
    this.dirty = true;
  }

  prune() {
    const oldest = this.now - KEEP_SECONDS;
    for (const row of this.rows) {
      let cut = lastAtOrBefore(row.edges, oldest) + 1;
      cut = Math.max(cut, row.edges.length - KEEP_EDGES);
      if (cut > 0) {
        row.initial = row.edges[cut - 1][1];
        row.start = row.edges[cut - 1][0];
        row.edges.splice(0, cut);
      }
      row.bytes = row.bytes.filter((b) => b[1] >= oldest);
      row.dense = row.dense.filter((d) => d[1] >= oldest);
    }
  }

  setNow(t) {
    this.now = t;
    if (this.following) this.dirty = true;
  }

  zoom(factor) {
    this.span = Math.min(MAX_SPAN, Math.max(MIN_SPAN, this.span * factor));
    this.dirty = true;
  }

  follow(on) {
    if (on === this.following) return;
    this.following = on;
    this.onFollowChange(on);
    this.dirty = true;
  }

  // The level of `row` just before time t, with every edge up to t.
  levelAt(row, t) {
    const i = lastAtOrBefore(row.edges, t);
    return i < 0 ? row.initial : row.edges[i][1];
  }

  draw() {
    this.dirty = false;
    const c = this.canvas;
    const width = c.clientWidth || 800;
    if (c.width !== width) c.width = width;
    const ctx = c.getContext('2d');
    const to = this.right();
    const from = to - this.span;
    const plot = width - LABEL_WIDTH;
    const x = (t) => LABEL_WIDTH + ((t - from) / this.span) * plot;
    ctx.clearRect(0, 0, c.width, c.height);
    ctx.font = '11px monospace';
    this.spanLabel.textContent = `${timeText(this.span)} across, up to ${timeText(to)}`;

    // Time grid: about ten divisions at a round step.
    const step = 10 ** Math.floor(Math.log10(this.span / 10));
    const division = [1, 2, 5, 10].map((m) => m * step).find((s) => this.span / s <= 12);
    ctx.strokeStyle = '#2a2f31';
    ctx.fillStyle = '#777';
    for (let t = Math.ceil(from / division) * division; t <= to; t += division) {
      ctx.beginPath();
      ctx.moveTo(x(t), 0);
      ctx.lineTo(x(t), c.height - 16);
      ctx.stroke();
      ctx.fillText(timeText(t), x(t) + 2, c.height - 4);
    }

    this.rows.forEach((row, index) => {
      const top = index * ROW_HEIGHT + 4;
      const high = top + 2;
      const low = top + 16;
      ctx.fillStyle = '#bbb';
      ctx.fillText(`P0.${row.pin}`, 4, top + 12);
      ctx.fillStyle = '#888';
      ctx.fillText(PIN_NAMES[row.pin] || '', 4, top + 25);

      ctx.fillStyle = 'rgba(142,192,124,0.35)';
      for (const [a, b] of row.dense) {
        if (b >= from && a <= to) ctx.fillRect(x(Math.max(a, from)), high, Math.max(1, x(Math.min(b, to)) - x(Math.max(a, from))), low - high);
      }

      ctx.strokeStyle = '#8ec07c';
      ctx.beginPath();
      let level = this.levelAt(row, from);
      let px = LABEL_WIDTH;
      ctx.moveTo(px, level ? high : low);
      const first = lastAtOrBefore(row.edges, from) + 1;
      for (let i = first; i < row.edges.length && row.edges[i][0] <= to; ++i) {
        const [t, next] = row.edges[i];
        if (t < row.start) continue;
        px = x(t);
        ctx.lineTo(px, level ? high : low);
        ctx.lineTo(px, next ? high : low);
        level = next;
      }
      ctx.lineTo(x(Math.min(to, this.now)), level ? high : low);
      ctx.stroke();

      // The decoded bytes, in a lane under the trace.
      for (const [a, b, label] of row.bytes) {
        if (b < from || a > to) continue;
        const x1 = x(a);
        const w = Math.max(1, x(b) - x1);
        ctx.fillStyle = 'rgba(131,165,152,0.35)';
        ctx.fillRect(x1, low + 3, w, 12);
        // Narrow: a UART byte's character, an SPI byte's hex.
        const short = /^[0-9A-F]{2} '(.)'$/.exec(label)?.[1] ?? label.replace(/^[A-Z]+ /, '').slice(0, 2);
        const text = w > ctx.measureText(label).width + 4 ? label : w > 18 ? short : '';
        if (text) {
          ctx.fillStyle = '#e8e6e3';
          ctx.fillText(text, x1 + 2, low + 13);
        }
      }
    });
  }
}
