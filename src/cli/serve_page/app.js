// The map page of zentrel serve: a world map of the program's own relief and boundaries, the
// estimate of a clicked or typed point as a table, a climate chart, warnings and neighbours.
'use strict';

const VARIABLES = ['Temp', 'Tmax', 'Tmin', 'Prec', 'Vap', 'PET', 'Wind', 'Sun'];
const UNITS = {Temp: '°C', Tmax: '°C', Tmin: '°C', Prec: 'mm', Vap: 'hPa', PET: 'mm', Wind: 'm/s', Sun: 'fraction'};
const MONTHS = ['January', 'February', 'March', 'April', 'May', 'June', 'July', 'August', 'September', 'October',
                'November', 'December', 'Annual'];
const SHORT = ['J', 'F', 'M', 'A', 'M', 'J', 'J', 'A', 'S', 'O', 'N', 'D'];
const WARNINGS = {
  WarnHigh: 'Location higher than surrounding stations.',
  WarnLow: 'Location lower than surrounding stations.',
  WarnLonely: 'Location not surrounded by neighbouring stations.',
  WarnStrange: 'Strange data detected at surrounding stations.',
  WarnDoubled: 'Two neighbours share one position; the later one is switched off.',
  WarnFew: 'Few active stations: some corrections or error estimates are not made.',
  WarnHit: 'The nearest neighbour is very close: the nearest-neighbour approximation is used.',
  WarnRecord: 'An estimate lies beyond the world\'s records.',
};

const map = L.map('map', {crs: L.CRS.EPSG4326, center: [20, 10], zoom: 1, minZoom: 0, maxZoom: 9,
                          preferCanvas: true, worldCopyJump: false, maxBounds: [[-100, -200], [100, 200]]});
L.imageOverlay('v1/worldmap.png', [[-90, -180], [90, 180]], {alt: 'World relief'}).addTo(map);
const neighbourLayer = L.layerGroup().addTo(map);
let marker = null;
let surfaceOverlay = null;
let surfaceLegend = null;

fetch('v1/boundaries').then((r) => r.ok ? r.json() : null).then((lines) => {
  if (lines) L.geoJSON(lines, {style: {color: '#3b3b3b', weight: 0.8, opacity: 0.8}, interactive: false}).addTo(map);
});

const periodSelect = document.getElementById('surface-period');
MONTHS.forEach((name, i) => {
  const o = document.createElement('option');
  o.value = String(i + 1);
  o.textContent = name;
  periodSelect.appendChild(o);
});

function text(value, decimals = 2) {
  return value === null || value === undefined || !Number.isFinite(value) ? '-' : value.toFixed(decimals);
}

// The value a table shows: as the command line's table, negative amounts are 0 and a sunshine
// fraction above 1 is 1.
function shown(variable, value) {
  if (value === null || value === undefined) return null;
  if (!['Temp', 'Tmax', 'Tmin'].includes(variable) && value < 0) return 0;
  if (variable === 'Sun' && value > 1) return 1;
  return value;
}

function el(tag, attributes = {}, children = []) {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attributes)) {
    if (k === 'text') e.textContent = v; else e.setAttribute(k, v);
  }
  for (const c of children) e.appendChild(typeof c === 'string' ? document.createTextNode(c) : c);
  return e;
}

function query(lon, lat, alt) {
  const q = new URLSearchParams({lon: String(lon), lat: String(lat)});
  if (alt !== '' && alt !== null && alt !== undefined) q.set('alt', String(alt));
  return q;
}

async function estimate(lon, lat, alt) {
  const status = document.getElementById('status');
  const result = document.getElementById('result');
  result.replaceChildren(el('p', {id: 'status', text: `Estimating at ${lon}, ${lat} ...`}));
  if (marker) marker.setLatLng([lat, lon]); else marker = L.marker([lat, lon], {keyboard: false}).addTo(map);
  const q = query(lon, lat, alt);
  q.set('var', 'all');
  let answer;
  try {
    const response = await fetch('v1/estimate?' + q.toString());
    answer = await response.json();
    if (!response.ok) throw new Error(answer.error || response.statusText);
    const notes = response.headers.get('X-Zentrel-Notes');
    show(answer, q, notes);
  } catch (e) {
    result.replaceChildren(el('p', {id: 'status', class: 'error', text: 'The estimate failed: ' + e.message}));
  }
  void status;
}

function show(list, q, notes) {
  const byVar = {};
  for (const r of list) byVar[r.variable] = r;
  const first = list[0];
  const loc = first.location;
  const result = document.getElementById('result');
  const parts = [el('h2', {id: 'status', text: `Lon ${loc.lon}  Lat ${loc.lat}  Alt ${loc.alt} m`})];

  // Table: months down, variables across, Temp with its interval.
  const temp = byVar.Temp;
  const head = ['Month'];
  for (const v of VARIABLES) if (byVar[v]) head.push(`${v} (${UNITS[v]})`);
  if (temp) head.splice(2, 0, 'Temp low', 'Temp high');
  const thead = el('thead', {}, [el('tr', {}, head.map((h) => el('th', {scope: 'col', text: h})))]);
  const tbody = el('tbody');
  for (let m = 0; m < 13; m++) {
    const cells = [el('th', {scope: 'row', text: MONTHS[m]})];
    for (const v of VARIABLES) {
      const r = byVar[v];
      if (!r) continue;
      cells.push(el('td', {'data-var': v, text: text(shown(v, r.result.Best[m]), v === 'Sun' ? 3 : 2)}));
      if (v === 'Temp') {
        const se = r.result.StdErr[m];
        const best = r.result.Best[m];
        const k = 1.645;
        cells.push(el('td', {text: se === null || best === null ? '-' : text(best - k * se)}));
        cells.push(el('td', {text: se === null || best === null ? '-' : text(best + k * se)}));
      }
    }
    tbody.appendChild(el('tr', {class: m === 12 ? 'annual' : ''}, cells));
  }
  parts.push(el('h3', {text: 'Monthly estimates (interval: 90 %)'}));
  parts.push(el('div', {class: 'scroll', tabindex: '0', 'aria-label': 'Monthly estimates'}, [el('table', {id: 'months'}, [thead, tbody])]));

  parts.push(el('h3', {text: 'Climate chart'}));
  parts.push(chart(byVar.Temp, byVar.Prec));

  // Warnings in words, per variable.
  const warnings = [];
  for (const r of list) {
    for (const [flag, words] of Object.entries(WARNINGS)) if (r.warnings[flag]) warnings.push(`${r.variable}: ${words}`);
    for (const m of r.messages) warnings.push(`${r.variable}: ${m.title}: ${m.text}`);
  }
  parts.push(el('h3', {text: 'Warnings'}));
  if (!warnings.length) parts.push(el('p', {class: 'note', text: 'None.'}));
  const seen = new Set();
  for (const w of warnings) if (!seen.has(w)) { seen.add(w); parts.push(el('p', {class: 'warn', text: w})); }
  if (notes) parts.push(el('p', {class: 'note', text: 'Note: ' + notes}));

  // Neighbours of the temperature estimate (or of the first variable).
  const ref = temp || first;
  parts.push(el('h3', {text: `Neighbours (${ref.variable}): ${ref.activeCount} of ${ref.neighbourCount} active`}));
  const hasSource = ref.neighbours.some((n) => n.source !== undefined && n.source !== null && n.source !== '');
  const nhead = ['Station', 'Country', 'km', 'Alt m', 'Dir'];
  if (hasSource) nhead.push('Source');
  const nbody = el('tbody');
  neighbourLayer.clearLayers();
  for (const n of ref.neighbours) {
    const row = [el('td', {text: n.name}), el('td', {text: n.country}), el('td', {text: text(n.dist, 1)}),
                 el('td', {text: n.alt === null || n.alt === 9999 ? '-' : text(n.alt, 0)}), el('td', {text: n.dirCode})];
    if (hasSource) row.push(el('td', {text: n.source || '-'}));
    nbody.appendChild(el('tr', {class: n.active ? '' : 'inactive'}, row));
    const tip = `${n.name} (${n.country}): ${text(n.dist, 1)} km, ${n.alt === 9999 ? '-' : text(n.alt, 0) + ' m'}` +
                (n.source ? `, ${n.source}` : '');
    L.circleMarker([n.lat, n.lon], {radius: 5, color: '#7a1f00', weight: 1.5, fillColor: n.active ? '#ff7f2a' : '#bbb',
                                    fillOpacity: 0.9}).bindTooltip(tip).addTo(neighbourLayer);
  }
  parts.push(el('div', {class: 'scroll'}, [el('table', {id: 'neighbours'}, [el('thead', {}, [el('tr', {}, nhead.map((h) => el('th', {scope: 'col', text: h})))]), nbody])]));

  // Downloads: the same answers as files.
  const link = (format, label) => {
    const d = new URLSearchParams(q);
    d.set('format', format);
    return el('a', {href: 'v1/estimate?' + d.toString(), download: `estimate.${format}`, text: label});
  };
  parts.push(el('h3', {text: 'Download'}));
  parts.push(el('p', {class: 'downloads'}, [link('zte', 'Result file (.zte)'), link('csv', 'CSV'), link('json', 'JSON')]));
  result.replaceChildren(...parts);
}

// Temperature as a line (left axis), precipitation as bars (right axis), twelve months.
function chart(temp, prec) {
  const NS = 'http://www.w3.org/2000/svg';
  const W = 440, H = 220, L0 = 40, R0 = 40, T0 = 12, B0 = 26;
  const svg = document.createElementNS(NS, 'svg');
  svg.setAttribute('viewBox', `0 0 ${W} ${H}`);
  svg.setAttribute('class', 'chart');
  svg.setAttribute('id', 'chart');
  svg.setAttribute('role', 'img');
  svg.setAttribute('aria-label', 'Climate chart: temperature line and precipitation bars');
  const add = (tag, attrs, content) => {
    const e = document.createElementNS(NS, tag);
    for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, v);
    if (content !== undefined) e.textContent = content;
    svg.appendChild(e);
    return e;
  };
  const pw = W - L0 - R0, ph = H - T0 - B0;
  const x = (m) => L0 + (m + 0.5) * pw / 12;
  const t = temp ? temp.result.Best.slice(0, 12) : [];
  const p = prec ? prec.result.Best.slice(0, 12).map((v) => shown('Prec', v)) : [];
  const tv = t.filter((v) => v !== null);
  // Four intervals of whole steps on both axes.
  const tmin = Math.floor(Math.min(0, ...tv) / 5) * 5;
  const tStep = Math.max(5, Math.ceil((Math.max(10, ...tv) - tmin) / 4 / 5) * 5);
  const tmax = tmin + 4 * tStep;
  const pStep = Math.max(10, Math.ceil(Math.max(40, ...p.filter((v) => v !== null)) / 4 / 10) * 10);
  const pTop = 4 * pStep;
  const yT = (v) => T0 + ph * (1 - (v - tmin) / (tmax - tmin));
  const yP = (v) => T0 + ph * (1 - v / pTop);
  add('rect', {x: L0, y: T0, width: pw, height: ph, fill: '#fbfcfd', stroke: '#9ab'});
  for (let k = 0; k <= 4; k++) {
    const v = tmin + (tmax - tmin) * k / 4, y = yT(v);
    add('line', {x1: L0, x2: L0 + pw, y1: y, y2: y, stroke: '#e3e7ea'});
    add('text', {x: L0 - 4, y: y + 4, 'text-anchor': 'end', 'font-size': 10, fill: '#b22'}, v.toFixed(0));
    add('text', {x: L0 + pw + 4, y: y + 4, 'font-size': 10, fill: '#236'}, (pTop * k / 4).toFixed(0));
  }
  p.forEach((v, m) => {
    if (v === null) return;
    add('rect', {x: x(m) - pw / 30, y: yP(v), width: pw / 15, height: T0 + ph - yP(v), fill: '#4a90c8', class: 'prec-bar'});
  });
  const pts = t.map((v, m) => v === null ? null : `${x(m).toFixed(1)},${yT(v).toFixed(1)}`).filter((s) => s);
  if (pts.length) add('polyline', {points: pts.join(' '), fill: 'none', stroke: '#c0392b', 'stroke-width': 2.5, class: 'temp-line'});
  SHORT.forEach((s, m) => add('text', {x: x(m), y: H - 10, 'text-anchor': 'middle', 'font-size': 10}, s));
  add('text', {x: 4, y: 10, 'font-size': 10, fill: '#b22'}, '°C');
  add('text', {x: W - 30, y: 10, 'font-size': 10, fill: '#236'}, 'mm');
  if (!temp && !prec) add('text', {x: W / 2, y: H / 2, 'text-anchor': 'middle'}, 'No Temp or Prec estimate');
  return svg;
}

// ---- the surface layer of a variable for a month, over the visible part of the map.
function colour(f) {
  const stops = [[44, 123, 182], [171, 217, 233], [255, 255, 191], [253, 174, 97], [215, 25, 28]];
  const s = Math.max(0, Math.min(1, f)) * (stops.length - 1);
  const i = Math.min(stops.length - 2, Math.floor(s));
  const u = s - i;
  return stops[i].map((c, k) => Math.round(c + (stops[i + 1][k] - c) * u));
}

async function updateSurface() {
  if (surfaceOverlay) { map.removeLayer(surfaceOverlay); surfaceOverlay = null; }
  if (surfaceLegend) { surfaceLegend.remove(); surfaceLegend = null; }
  if (!document.getElementById('surface-on').checked) return;
  const b = map.getBounds();
  const west = Math.max(-180, b.getWest()), east = Math.min(180, b.getEast());
  const south = Math.max(-90, b.getSouth()), north = Math.min(90, b.getNorth());
  if (east <= west || north <= south) return;
  // A resolution that keeps the box within the service's cell limit.
  const res = Math.max(0.05, Math.sqrt((east - west) * (north - south) / 15000)).toFixed(3);
  const q = new URLSearchParams({var: document.getElementById('surface-var').value, period: periodSelect.value,
                                 bbox: [west, south, east, north].map((v) => v.toFixed(3)).join(','), res});
  const response = await fetch('v1/surface?' + q.toString());
  const s = await response.json();
  if (!response.ok) { alert('Surface: ' + s.error); return; }
  const vals = s.values.filter((v) => v !== null);
  if (!vals.length) return;
  const lo = Math.min(...vals), hi = Math.max(...vals);
  const canvas = document.createElement('canvas');
  canvas.width = s.columns; canvas.height = s.rows;
  const ctx = canvas.getContext('2d');
  const img = ctx.createImageData(s.columns, s.rows);
  s.values.forEach((v, i) => {
    if (v === null) return;
    const [r, g, bl] = colour(hi > lo ? (v - lo) / (hi - lo) : 0.5);
    img.data.set([r, g, bl, 170], i * 4);
  });
  ctx.putImageData(img, 0, 0);
  const southEdge = s.north - s.rows * s.cellHeight, eastEdge = s.west + s.columns * s.cellWidth;
  surfaceOverlay = L.imageOverlay(canvas.toDataURL(), [[southEdge, s.west], [s.north, eastEdge]], {interactive: false}).addTo(map);
  surfaceLegend = L.control({position: 'bottomleft'});
  surfaceLegend.onAdd = () => el('div', {class: 'legend'}, [
    el('div', {text: `${s.variable}, ${MONTHS[s.period - 1]} (${s.units})`}), el('div', {class: 'ramp'}),
    el('div', {text: `${lo.toFixed(1)} … ${hi.toFixed(1)}`})]);
  surfaceLegend.addTo(map);
}

// ---- input
function readNumber(id) {
  const raw = document.getElementById(id).value.trim().replace(',', '.');
  return raw === '' ? '' : Number(raw);
}

document.getElementById('point').addEventListener('submit', (ev) => {
  ev.preventDefault();
  const lon = readNumber('lon'), lat = readNumber('lat'), alt = readNumber('alt');
  const bad = [];
  if (lon === '' || !(lon >= -180 && lon <= 180)) bad.push('Lon must be a number in -180..180.');
  if (lat === '' || !(lat >= -90 && lat <= 90)) bad.push('Lat must be a number in -90..90.');
  if (alt !== '' && !(alt >= -600 && alt <= 10000)) bad.push('Alt must be empty or a number in -600..10000.');
  if (bad.length) {
    document.getElementById('result').replaceChildren(el('p', {id: 'status', class: 'error', text: bad.join(' ')}));
    return;
  }
  estimate(lon, lat, alt);
});

map.on('click', (ev) => {
  const lon = Math.round(ev.latlng.lng * 100) / 100, lat = Math.round(ev.latlng.lat * 100) / 100;
  if (lon < -180 || lon > 180 || lat < -90 || lat > 90) return;
  document.getElementById('lon').value = lon;
  document.getElementById('lat').value = lat;
  document.getElementById('alt').value = '';
  estimate(lon, lat, '');
});

for (const id of ['surface-on', 'surface-var', 'surface-period'])
  document.getElementById(id).addEventListener('change', updateSurface);
map.on('moveend', () => { if (document.getElementById('surface-on').checked) updateSurface(); });
