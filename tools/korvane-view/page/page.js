'use strict';
// The live view. Frames arrive as one multipart response (fetch with a
// ReadableStream); each part carries the frame's number and the time the
// camera's callback saw it. Only the newest frame is decoded: parts that
// arrive while one is being decoded replace each other, so a slow tab
// shows fewer frames instead of falling behind.

const token = new URLSearchParams(location.search).get('token') || '';
const $ = (id) => document.getElementById(id);
// The shown canvas takes each decoded frame as a bitmap, without a copy;
// the pixels (value under the pointer, histogram, tests) are read from a
// second canvas that draws the kept frame only when someone asks for them.
// Drawing every frame into a readable canvas costs the browser as much as
// decoding it.
const canvas = $('frame');
const shownCtx = canvas.getContext('bitmaprenderer');
const readCanvas = document.createElement('canvas');
const readCtx = readCanvas.getContext('2d', { willReadFrequently: true });

const stats = {
  received: 0,     // image parts received
  dropped: 0,      // frames skipped: by the server for this tab, or here while decoding
  drawn: 0,
  lastSeq: 0,      // the frame drawn last
  lastReceivedSeq: 0,
  drawTimes: [],   // performance.now() of recent draws
  latencies: [],   // ms, callback to drawn, recent frames
};

function nowMs() { return performance.timeOrigin + performance.now(); }

function median(values) {
  if (values.length === 0) return NaN;
  const s = [...values].sort((a, b) => a - b);
  return s[Math.floor(s.length / 2)];
}

function fps() {
  const t = performance.now();
  stats.drawTimes = stats.drawTimes.filter((d) => t - d < 2000);
  if (stats.drawTimes.length < 2) return 0;
  const span = (t - stats.drawTimes[0]) / 1000;
  return span > 0 ? stats.drawTimes.length / span : 0;
}

function api(path, method) {
  return fetch(path, { method: method || 'GET', headers: { 'X-Korvane-Token': token } });
}

// ---- the multipart stream ----

class PartReader {
  constructor() { this.buf = new Uint8Array(1 << 20); this.start = 0; this.end = 0; }

  push(chunk) {
    if (this.end + chunk.length > this.buf.length) {
      const live = this.end - this.start;
      let size = this.buf.length;
      while (size < live + chunk.length) size *= 2;
      const next = size === this.buf.length ? this.buf : new Uint8Array(size);
      if (next === this.buf) this.buf.copyWithin(0, this.start, this.end);
      else next.set(this.buf.subarray(this.start, this.end));
      this.buf = next; this.start = 0; this.end = live;
    }
    this.buf.set(chunk, this.end);
    this.end += chunk.length;
  }

  // The next whole part as {headers, body}, or null when it is not all here.
  next() {
    const b = this.buf;
    let p = this.start;
    while (p < this.end && (b[p] === 13 || b[p] === 10)) p++;
    let h = -1;
    for (let i = p; i + 3 < this.end; i++) {
      if (b[i] === 13 && b[i + 1] === 10 && b[i + 2] === 13 && b[i + 3] === 10) { h = i; break; }
      if (i - p > 4096) throw new Error('part header too long');
    }
    if (h < 0) return null;
    const lines = new TextDecoder().decode(b.subarray(p, h)).split('\r\n');
    const headers = {};
    for (const line of lines.slice(1)) {
      const c = line.indexOf(':');
      if (c > 0) headers[line.slice(0, c).trim().toLowerCase()] = line.slice(c + 1).trim();
    }
    const length = parseInt(headers['content-length'] || '0', 10);
    const bodyStart = h + 4;
    if (this.end - bodyStart < length) return null;
    const body = b.slice(bodyStart, bodyStart + length);
    this.start = bodyStart + length;
    if (this.start === this.end) { this.start = 0; this.end = 0; }
    return { headers, body };
  }
}

let streamAbort = null;
let pending = null;   // the newest part waiting for a decoder
let inFlight = 0;     // decodes under way
// Two decodes at once: the browser decodes off the page's thread, so the
// next frame decodes while this one is drawn.
const kMaxInFlight = 2;

function streamUrl() {
  const q = new URLSearchParams({
    format: $('format').value, quality: $('quality').value, fps: $('maxFps').value,
  });
  return '/stream?' + q.toString();
}

async function runStream() {
  if (streamAbort) streamAbort.abort();
  const abort = new AbortController();
  streamAbort = abort;
  try {
    const response = await fetch(streamUrl(), {
      headers: { 'X-Korvane-Token': token }, signal: abort.signal,
    });
    if (!response.ok) throw new Error('stream: ' + response.status + ' ' + (await response.text()));
    setConnection(true, 'live');
    const reader = response.body.getReader();
    const parts = new PartReader();
    for (;;) {
      const { value, done } = await reader.read();
      if (done) break;
      parts.push(value);
      for (let part = parts.next(); part; part = parts.next()) onPart(part);
    }
    throw new Error('the stream ended');
  } catch (e) {
    if (abort.signal.aborted) return;
    setConnection(false, String(e.message || e));
    setTimeout(() => { if (streamAbort === abort) runStream(); }, 1000);
  }
}

function onPart(part) {
  const type = part.headers['content-type'] || '';
  if (!type.startsWith('image/')) return;  // an idle part: the server checks the tab is there
  const seq = parseInt(part.headers['x-frame-seq'] || '0', 10);
  if (seq <= stats.lastReceivedSeq) return;
  if (stats.lastReceivedSeq > 0 && seq > stats.lastReceivedSeq + 1) {
    stats.dropped += seq - stats.lastReceivedSeq - 1;
  }
  stats.lastReceivedSeq = seq;
  stats.received++;
  const frame = { seq, type, stamp: parseFloat(part.headers['x-frame-stamp'] || '0'), body: part.body };
  if (inFlight < kMaxInFlight) {
    startDecode(frame);
  } else {
    if (pending) stats.dropped++;
    pending = frame;
  }
}

// The decoded frame, drawable and with close(): a VideoFrame where the
// browser has ImageDecoder, an ImageBitmap elsewhere.
async function decode(frame) {
  if ('ImageDecoder' in window) {
    const decoder = new ImageDecoder({
      data: frame.body, type: frame.type, colorSpaceConversion: 'none',
      premultiplyAlpha: 'none',
    });
    try {
      return (await decoder.decode()).image;
    } finally {
      decoder.close();
    }
  }
  return createImageBitmap(new Blob([frame.body], { type: frame.type }), {
    colorSpaceConversion: 'none', premultiplyAlpha: 'none',
  });
}

// The newest drawn frame, kept for reading its pixels back.
const shown = { seq: 0, image: null };
const readBack = { seq: 0, at: 0 };

async function startDecode(frame) {
  inFlight++;
  try {
    const image = await decode(frame);
    // The bitmap the shown canvas takes over; the decoded image stays here.
    const bitmap = await createImageBitmap(image);
    // A later frame may have been drawn while this one decoded.
    if (frame.seq > stats.lastSeq) {
      draw(bitmap, image, frame);
    } else {
      stats.dropped++;
      bitmap.close();
      image.close();
    }
  } catch (e) {
    logLine({ level: 'error', stamp: '', text: 'korvane-view page: a frame did not decode: ' + e });
  }
  inFlight--;
  if (pending) {
    const next = pending;
    pending = null;
    startDecode(next);
  }
}

function draw(bitmap, image, part) {
  const w = bitmap.width;
  const h = bitmap.height;
  if (canvas.width !== w || canvas.height !== h) {
    canvas.width = w;
    canvas.height = h;
    $('size').textContent = w + ' x ' + h;
    applyZoom();
  }
  shownCtx.transferFromImageBitmap(bitmap);
  if (shown.image) shown.image.close();
  shown.image = image;
  shown.seq = part.seq;
  stats.drawn++;
  stats.lastSeq = part.seq;
  stats.drawTimes.push(performance.now());
  stats.latencies.push(nowMs() - part.stamp);
  if (stats.latencies.length > 60) stats.latencies.shift();
  showPixel();
}

// The readable canvas holding the shown frame (the shown canvas has its
// size): redrawn when a newer frame is shown, unless it was redrawn less
// than maxAgeMs ago (the pointer's value follows a live image ten times a
// second, not at every frame).
function readable(maxAgeMs) {
  const t = performance.now();
  if (shown.image && readBack.seq !== shown.seq && t - readBack.at >= maxAgeMs) {
    if (readCanvas.width !== canvas.width || readCanvas.height !== canvas.height) {
      readCanvas.width = canvas.width;
      readCanvas.height = canvas.height;
    }
    readCtx.drawImage(shown.image, 0, 0);
    readBack.seq = shown.seq;
    readBack.at = t;
  }
  return readBack.seq > 0;
}

function setConnection(ok, text) {
  const c = $('connection');
  c.textContent = text;
  c.className = ok ? 'good' : 'bad';
}

// ---- zoom and the pixel under the pointer ----

let zoom = 0;  // 0: fit the window
let pointer = null;

function fitScale() {
  const v = $('viewport');
  return Math.min(v.clientWidth / canvas.width, v.clientHeight / canvas.height);
}

function applyZoom() {
  const scale = zoom === 0 ? fitScale() : zoom;
  canvas.style.width = Math.max(1, Math.round(canvas.width * scale)) + 'px';
  canvas.style.height = Math.max(1, Math.round(canvas.height * scale)) + 'px';
  $('viewport').classList.toggle('zoomed', zoom !== 0);
  $('zoomText').textContent = zoom === 0 ? 'fit (' + (scale * 100).toFixed(0) + ' %)'
                                         : (scale * 100).toFixed(0) + ' %';
}

function setZoom(z) {
  zoom = z === 0 ? 0 : Math.min(64, Math.max(1 / 16, z));
  applyZoom();
}

function currentScale() { return zoom === 0 ? fitScale() : zoom; }

canvas.addEventListener('mousemove', (e) => {
  pointer = {
    x: Math.floor(e.offsetX * canvas.width / canvas.clientWidth),
    y: Math.floor(e.offsetY * canvas.height / canvas.clientHeight),
  };
  showPixel();
});
canvas.addEventListener('mouseleave', () => { pointer = null; showPixel(); });
canvas.addEventListener('wheel', (e) => {
  e.preventDefault();
  setZoom(currentScale() * (e.deltaY < 0 ? 2 : 0.5));
}, { passive: false });
$('zoomFit').onclick = () => setZoom(0);
$('zoom1').onclick = () => setZoom(1);
$('zoomIn').onclick = () => setZoom(currentScale() * 2);
$('zoomOut').onclick = () => setZoom(currentScale() / 2);
window.addEventListener('resize', applyZoom);

function showPixel() {
  if (!pointer || pointer.x < 0 || pointer.y < 0 || pointer.x >= canvas.width ||
      pointer.y >= canvas.height || !readable(100) || pointer.x >= readCanvas.width ||
      pointer.y >= readCanvas.height) {
    $('pixel').textContent = 'x -, y -: -';
    return;
  }
  const v = readCtx.getImageData(pointer.x, pointer.y, 1, 1).data[0];
  $('pixel').textContent = 'x ' + pointer.x + ', y ' + pointer.y + ': ' + v;
}

// ---- histogram ----

function grey() {
  readable(0);
  const rgba = readCtx.getImageData(0, 0, readCanvas.width, readCanvas.height).data;
  const g = new Uint8Array(rgba.length / 4);
  for (let i = 0, j = 0; j < g.length; i += 4, j++) g[j] = rgba[i];
  return g;
}

function histogram() {
  if (!readable(0)) return;
  // Every pixel, twice a second: the saturated share must not miss a
  // small clipped spot, and the stream's frames matter more than a
  // histogram redrawn more often.
  const rgba = readCtx.getImageData(0, 0, readCanvas.width, readCanvas.height).data;
  const bins = new Uint32Array(256);
  for (let i = 0; i < rgba.length; i += 4) bins[rgba[i]]++;
  const g = { length: rgba.length / 4 };
  const h = $('histogram');
  const c = h.getContext('2d');
  c.clearRect(0, 0, h.width, h.height);
  let top = 1;
  for (let i = 1; i < 255; i++) top = Math.max(top, bins[i]);
  for (let i = 0; i < 256; i++) {
    const saturated = i === 0 || i === 255;
    c.fillStyle = saturated ? '#f05050' : '#c8c8c8';
    const v = Math.min(h.height, Math.round(bins[i] / top * (h.height - 2)));
    c.fillRect(i, h.height - v, 1, v);
    if (saturated && bins[i] > 0) c.fillRect(i === 0 ? 0 : 253, 0, 3, 4);
  }
  const pct = (n) => (100 * n / g.length).toFixed(2) + ' %';
  $('saturation').textContent = 'black (0): ' + pct(bins[0]) + '   white (255): ' + pct(bins[255]);
  $('saturation').className = 'mono' + (bins[0] + bins[255] > 0 ? ' bad' : '');
}

// ---- the camera's settings and grabbing ----

function showAnswer(el, ok, text) {
  el.textContent = text;
  el.className = 'answer mono ' + (ok ? 'accepted' : 'refused');
}

async function change(path, describe, el) {
  try {
    const r = await api(path, 'POST');
    if (!r.ok) {
      showAnswer(el, false, describe + ': ' + r.status + ' ' + (await r.text()).trim());
      return null;
    }
    const a = await r.json();
    const msgs = a.messages.length ? '\n' + a.messages.join('\n') : '';
    showAnswer(el, a.ok, describe + ': ' + (a.ok ? 'accepted' : 'refused by the driver') +
      (a.value !== undefined && a.value !== null ? ', now ' + a.value : '') + msgs);
    return a;
  } catch (e) {
    showAnswer(el, false, describe + ': ' + e);
    return null;
  }
}

function settingRow(p) {
  const tr = document.createElement('tr');
  tr.dataset.name = p.name;
  const input = document.createElement('input');
  input.type = 'number';
  input.min = p.min; input.max = p.max;
  input.value = p.value === null ? '' : p.value;
  input.id = 'set-' + p.name;
  const apply = document.createElement('button');
  apply.textContent = 'Set';
  apply.id = 'apply-' + p.name;
  const run = async () => {
    const q = new URLSearchParams({ name: p.name, value: input.value });
    const a = await change('/api/property?' + q, p.name + '=' + input.value, $('settingAnswer'));
    tr.classList.toggle('refused', !!a && !a.ok);
    if (a && a.value !== null && a.value !== undefined) input.value = a.value;
  };
  apply.onclick = run;
  input.addEventListener('keydown', (e) => { if (e.key === 'Enter') run(); });
  const cells = [p.name, input, p.min + ' .. ' + p.max + ' (' + p.rangeFrom + ')', p.effect, apply];
  for (const c of cells) {
    const td = document.createElement('td');
    if (typeof c === 'string') td.textContent = c; else td.appendChild(c);
    if (c === p.effect) td.className = 'effect';
    tr.appendChild(td);
  }
  return tr;
}

async function loadInfo() {
  const r = await api('/api/info');
  if (!r.ok) { setConnection(false, 'refused: ' + (await r.text()).trim()); return false; }
  const info = await r.json();
  document.body.classList.add(info.mode);
  $('camera').textContent = (info.mode === 'share' ? 'shared camera ' : '') + info.camera +
    (info.width ? ', ' + info.width + ' x ' + info.height : '');
  document.title = 'korvane-view: ' + info.camera;
  const body = $('settings').querySelector('tbody');
  body.replaceChildren(...info.properties.map(settingRow));
  return true;
}

for (const mode of ['single', 'continuous', 'stop']) {
  $('grab' + mode[0].toUpperCase() + mode.slice(1)).onclick =
    () => change('/api/grab?mode=' + mode, mode, $('grabAnswer'));
}
$('snapPgm').href = '/api/snapshot?format=pgm&token=' + encodeURIComponent(token);
$('snapPng').href = '/api/snapshot?format=png&token=' + encodeURIComponent(token);
for (const id of ['format', 'quality', 'maxFps']) $(id).addEventListener('change', runStream);

// ---- the driver's log and the camera's counters ----

const levels = { info: 0, warning: 1, error: 2 };

function logLine(line) {
  const div = document.createElement('div');
  div.className = line.level;
  div.textContent = (line.stamp ? line.stamp + ' ' : '') + line.text;
  const log = $('log');
  const atEnd = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  log.appendChild(div);
  while (log.childElementCount > 1000) log.firstElementChild.remove();
  filterLog(div);
  if (atEnd) log.scrollTop = log.scrollHeight;
}

function filterLog(only) {
  const min = levels[$('logLevel').value];
  const rows = only ? [only] : $('log').children;
  for (const div of rows) div.style.display = levels[div.className] >= min ? '' : 'none';
}
$('logLevel').onchange = () => filterLog(null);
$('logClear').onclick = () => $('log').replaceChildren();

let cameraStats = {};
function runEvents() {
  const events = new EventSource('/events?token=' + encodeURIComponent(token));
  events.addEventListener('log', (e) => logLine(JSON.parse(e.data)));
  events.addEventListener('stats', (e) => {
    cameraStats = JSON.parse(e.data);
    $('grabRate').textContent = cameraStats.grabRate !== undefined
      ? cameraStats.grabRate.toFixed(1) : cameraStats.grabbed + ' received';
    if (cameraStats.state) $('shareState').textContent = cameraStats.state;
  });
}

setInterval(() => {
  $('fps').textContent = fps().toFixed(1);
  $('received').textContent = stats.received;
  $('dropped').textContent = stats.dropped;
  const l = median(stats.latencies);
  $('latency').textContent = isNaN(l) ? '-' : l.toFixed(1);
}, 500);
setInterval(histogram, 500);

// What the browser tests read: the counters and the drawn frame's pixels.
window.korvaneView = {
  stats: () => ({
    received: stats.received, dropped: stats.dropped, drawn: stats.drawn, seq: stats.lastSeq,
    fps: fps(), latencyMs: median(stats.latencies), width: canvas.width, height: canvas.height,
  }),
  // The drawn frame's grey values, base64, with its number.
  frame: () => {
    const g = grey();
    let s = '';
    for (let i = 0; i < g.length; i += 0x8000) {
      s += String.fromCharCode.apply(null, g.subarray(i, i + 0x8000));
    }
    return { seq: readBack.seq, width: readCanvas.width, height: readCanvas.height, data: btoa(s) };
  },
};

(async () => {
  if (await loadInfo()) {
    runEvents();
    runStream();
  }
})();
