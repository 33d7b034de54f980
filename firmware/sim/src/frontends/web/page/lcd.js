// The 84 x 48 glass as boardsim --lcd draws it: 4 canvas pixels a pixel in
// a 4-pixel border, the same two colours, so that the canvas and
// /api/lcd.png agree pixel for pixel. CSS enlarges it without smoothing.
export const LCD_WIDTH = 84;
export const LCD_HEIGHT = 48;
const SCALE = 4;
const BORDER = 4;
const LIGHT = '#b4c89a';
const DARK = '#1e281e';

// "hex" holds 6 banks of 84 column bytes; bit n of byte [bank * 84 + x]
// is pixel (x, bank * 8 + n).
export function frameBytes(hex) {
  const bytes = new Uint8Array(hex.length / 2);
  for (let i = 0; i < bytes.length; ++i) {
    bytes[i] = parseInt(hex.substr(2 * i, 2), 16);
  }
  return bytes;
}

export function drawLcd(canvas, bytes) {
  const ctx = canvas.getContext('2d');
  ctx.fillStyle = LIGHT;
  ctx.fillRect(0, 0, canvas.width, canvas.height);
  ctx.fillStyle = DARK;
  for (let y = 0; y < LCD_HEIGHT; ++y) {
    for (let x = 0; x < LCD_WIDTH; ++x) {
      const byte = bytes[(y >> 3) * LCD_WIDTH + x] || 0;
      if ((byte >> (y & 7)) & 1) {
        ctx.fillRect(BORDER + x * SCALE, BORDER + y * SCALE, SCALE, SCALE);
      }
    }
  }
}
