// The DAC's outputs as a scope shows them: each output's waveform
// (triggered on a rising crossing of its middle by boardsim) and its
// spectrum in dBV, with the figures read off them. Shown once the board
// has played something.
import { timeText } from './analyzer.js';

const COLOURS = ['#fabd2f', '#83a598'];
const FULL_SCALE = 2.98;  // volts: 2 x REF (1.49 V)

function hz(f) {
  return f >= 1000 ? `${(f / 1000).toFixed(3)} kHz` : `${f.toFixed(2)} Hz`;
}

export class Scope {
  constructor(section, traceCanvas, spectrumCanvas, figures) {
    Object.assign(this, { section, traceCanvas, spectrumCanvas, figures });
  }

  show({ outputs }) {
    this.last = { outputs };  // what a test reads back
    this.section.hidden = outputs.length === 0;
    if (!outputs.length) return;
    this.drawTraces(outputs);
    this.drawSpectra(outputs);
    this.figures.textContent = outputs.map((o) =>
      `${o.name}: ${o.min.toFixed(3)} … ${o.max.toFixed(3)} V (${(o.max - o.min).toFixed(3)} Vpp), `
      + `mean ${o.mean.toFixed(3)} V, ${o.spectrum.peakHz > 0 ? hz(o.spectrum.peakHz) : 'no tone'}, `
      + `${o.changeHz.toFixed(0)} changes/s${o.trace.triggered ? '' : ' (untriggered)'}`).join('   ');
  }

  drawTraces(outputs) {
    const c = this.traceCanvas;
    const ctx = c.getContext('2d');
    ctx.clearRect(0, 0, c.width, c.height);
    const y = (v) => c.height - 14 - (v / FULL_SCALE) * (c.height - 24);
    ctx.strokeStyle = '#2a2f31';
    ctx.fillStyle = '#777';
    ctx.font = '11px monospace';
    for (let v = 0; v <= 3; v += 0.5) {
      ctx.beginPath();
      ctx.moveTo(0, y(v));
      ctx.lineTo(c.width, y(v));
      ctx.stroke();
      ctx.fillText(`${v.toFixed(1)} V`, 2, y(v) - 2);
    }
    outputs.forEach((o, i) => {
      const points = o.trace.volts;
      ctx.strokeStyle = COLOURS[i % COLOURS.length];
      ctx.beginPath();
      points.forEach((v, k) => {
        const px = (k / points.length) * c.width;
        if (k === 0) ctx.moveTo(px, y(v)); else ctx.lineTo(px, y(v));
      });
      ctx.stroke();
      ctx.fillStyle = COLOURS[i % COLOURS.length];
      ctx.fillText(`${o.name}  ${timeText(o.trace.step * points.length)} across`, c.width - 180, 12 + 12 * i);
    });
  }

  drawSpectra(outputs) {
    const c = this.spectrumCanvas;
    const ctx = c.getContext('2d');
    ctx.clearRect(0, 0, c.width, c.height);
    const top = 10;
    const bottom = -120;
    const y = (db) => 4 + ((top - Math.max(bottom, db)) / (top - bottom)) * (c.height - 20);
    ctx.strokeStyle = '#2a2f31';
    ctx.fillStyle = '#777';
    ctx.font = '11px monospace';
    for (let db = 0; db >= bottom; db -= 20) {
      ctx.beginPath();
      ctx.moveTo(0, y(db));
      ctx.lineTo(c.width, y(db));
      ctx.stroke();
      ctx.fillText(`${db} dBV`, 2, y(db) - 2);
    }
    outputs.forEach((o, i) => {
      const s = o.spectrum;
      if (!s.dbv.length) return;
      const topHz = s.binHz * s.dbv.length;
      ctx.strokeStyle = COLOURS[i % COLOURS.length];
      ctx.beginPath();
      s.dbv.forEach((db, k) => {
        const px = (k / s.dbv.length) * c.width;
        if (k === 0) ctx.moveTo(px, y(db)); else ctx.lineTo(px, y(db));
      });
      ctx.stroke();
      ctx.fillStyle = COLOURS[i % COLOURS.length];
      ctx.fillText(`${o.name}  0 … ${hz(topHz)}`, c.width - 200, 12 + 12 * i);
    });
  }
}
