// SPDX-License-Identifier: GPL-3.0-or-later
// A log's chart with uPlot, from the description the module gives (the same one
// quemador1-calc --grafico draws as SVG): a panel for each boiler on shared axes, the
// efficiencies above and the O2 below, ticks where the description puts them; a dense
// panel as each week's or month's mean with its band from least to greatest, or every
// reading with the switch; the marked rows as points. One legend shows each measure's
// line. Drag to zoom a panel, double-click to see it whole; the cursor reads every series.

const decimal = (v) => (v === null || v === undefined ? '—' : String(+v.toFixed(2)).replace('.', ','));
const two = (n) => String(n).padStart(2, '0');

// A moment on the log's own clock (seconds from 1970, no time zone).
export function momentText(seconds, withTime) {
  const d = new Date(seconds * 1000);
  const date = `${two(d.getUTCDate())}/${two(d.getUTCMonth() + 1)}/${d.getUTCFullYear()}`;
  return withTime ? `${date} ${two(d.getUTCHours())}:${two(d.getUTCMinutes())}` : date;
}

const svgNs = 'http://www.w3.org/2000/svg';

// A measure's sample in the legend: its line with its dash, or its mark.
function sample(s) {
  const svg = document.createElementNS(svgNs, 'svg');
  svg.setAttribute('width', '28');
  svg.setAttribute('height', '12');
  svg.setAttribute('aria-hidden', 'true');
  const shape = document.createElementNS(svgNs, s.puntos ? 'circle' : 'line');
  if (s.puntos) {
    for (const [k, v] of [['cx', 14], ['cy', 6], ['r', 4], ['fill', s.medida === 'fuera' ? s.color : 'none']]) shape.setAttribute(k, v);
  } else {
    for (const [k, v] of [['x1', 1], ['y1', 6], ['x2', 27], ['y2', 6]]) shape.setAttribute(k, v);
    if (s.trazo) shape.setAttribute('stroke-dasharray', s.trazo);
  }
  shape.setAttribute('stroke', s.color);
  shape.setAttribute('stroke-width', '2');
  svg.append(shape);
  return svg;
}

function legend(chart, banded) {
  const list = document.createElement('ul');
  list.className = 'leyenda-grafico';
  for (const s of chart.leyenda) {
    const li = document.createElement('li');
    li.dataset.medida = s.medida;
    li.append(sample(s), s.nombre);
    list.append(li);
  }
  if (banded) {
    const li = document.createElement('li');
    li.className = 'banda';
    li.textContent = `media por ${chart.periodo} (banda: mínima a máxima)`;
    list.append(li);
  }
  return list;
}

// The uPlot data and series of a panel: its readings (with the marks), or its bands.
function panelData(panel, banded) {
  const tables = [];
  const series = [];
  if (banded) {
    const bands = [];
    for (const b of panel.bandas) {
      const base = series.length + 1;
      tables.push([b.x, b.y], [b.x, b.min], [b.x, b.max]);
      series.push(
        { label: b.nombre, medida: b.medida, scale: b.abajo ? 'o2' : 'y', stroke: b.color, width: b.medida === 'o2' ? 1.5 : 2, dash: b.trazo ? b.trazo.split(' ').map(Number) : undefined },
        { label: `${b.nombre} mínima`, medida: b.medida, scale: b.abajo ? 'o2' : 'y', stroke: b.color, width: 0, points: { show: false } },
        { label: `${b.nombre} máxima`, medida: b.medida, scale: b.abajo ? 'o2' : 'y', stroke: b.color, width: 0, points: { show: false } },
      );
      bands.push({ series: [base + 2, base + 1], fill: `${b.color}33` });
    }
    for (const s of panel.series.filter((m) => m.puntos)) {
      tables.push([s.x, s.y]);
      series.push(markSeries(s));
    }
    return { data: uPlot.join(tables), series, bands };
  }
  for (const s of panel.series) {
    tables.push([s.x, s.y]);
    series.push(s.puntos ? markSeries(s) : {
      label: s.nombre, medida: s.medida, scale: s.abajo ? 'o2' : 'y', stroke: s.color,
      width: s.medida === 'o2' ? 1.5 : 2, dash: s.trazo ? s.trazo.split(' ').map(Number) : undefined,
      // A reading's point where there is room for it: a dozen pixels each.
      points: { show: (u, i, i0, i1) => (i1 - i0) * 12 < u.width },
    });
  }
  return { data: uPlot.join(tables), series, bands: [] };
}

function markSeries(s) {
  return {
    label: s.nombre, medida: s.medida, scale: 'o2', stroke: s.color, width: 0, paths: () => null,
    points: { show: true, size: 9, width: 2, stroke: s.color, fill: s.medida === 'fuera' ? s.color : '#ffffff' },
  };
}

function panelHeading(chart, panel, banded) {
  const heading = document.createElement('h4');
  const name = document.createElement('bdi');
  name.textContent = panel.etiqueta;
  if (panel.etiqueta !== panel.titulo) name.title = panel.titulo;
  heading.append(name);
  if (banded) {
    const note = document.createElement('span');
    note.className = 'nota';
    note.textContent = ` ${panel.lecturas} lecturas: media por ${chart.periodo}`;
    heading.append(note);
  }
  for (const alert of panel.alertas) {
    const mark = document.createElement('span');
    mark.className = 'alerta';
    mark.textContent = ` ⚠ ${alert}`;
    heading.append(mark);
  }
  return heading;
}

// Draws the chart into container, each panel a child with data-caldera and its uPlot;
// every reading, rather than the bands, when asked. Returns the uPlot instances.
export function drawChart(container, chart, { everyReading = false } = {}) {
  const phone = container.clientWidth < 500;
  const width = Math.max(280, container.clientWidth);
  const banded = !everyReading && chart.paneles.some((p) => p.denso);
  const y = chart.y;
  const y2 = chart.y2;
  const plots = [];
  const panels = chart.paneles.map((panel) => {
    const bands = !everyReading && panel.denso;
    const box = document.createElement('div');
    box.className = panel.alertas.length ? 'panel con-alerta' : 'panel';
    box.dataset.caldera = panel.caldera;
    box.append(panelHeading(chart, panel, bands));
    const { data, series, bands: fills } = panelData(panel, bands);
    const options = {
      width,
      height: phone ? 230 : 250,
      // Moments on the log's own clock: shown as written, with no time zone moved.
      tzDate: (seconds) => uPlot.tzDate(new Date(seconds * 1000), 'Etc/UTC'),
      // The shared axes; the efficiencies in the upper part, the O2 in the lower.
      scales: {
        x: { time: chart.en_el_tiempo, range: () => [chart.x.min, chart.x.max] },
        y: { range: () => [y.min - (y.max - y.min) * 0.6, y.max] },
        o2: { range: () => [y2.min, y2.max + (y2.max - y2.min) * 1.9] },
      },
      axes: [
        {
          splits: () => chart.x.marcas.map((m) => m.en),
          // Every label the width has room for (about 64 px each), so that they do not
          // run into each other on a phone.
          values: (u) => {
            const every = Math.max(1, Math.ceil((chart.x.marcas.length * 64) / u.width));
            return chart.x.marcas.map((m, i) => (i % every ? '' : m.texto));
          },
          space: 10,
        },
        { scale: 'y', label: y.nombre, splits: () => y.marcas.map((m) => m.en), values: () => y.marcas.map((m) => m.texto), size: 44 },
        { scale: 'o2', label: y2.nombre, side: 1, grid: { show: false }, splits: () => y2.marcas.map((m) => m.en), values: () => y2.marcas.map((m) => m.texto), size: 40 },
      ],
      series: [
        { label: chart.x.nombre, value: (u, v) => (v === null || v === undefined ? '—' : chart.en_el_tiempo ? momentText(v, true) : `línea ${v}`) },
        ...series.map((s) => ({ spanGaps: false, value: (u, v) => decimal(v), ...s })),
      ],
      bands: fills,
      cursor: { drag: { x: true, y: false }, points: { size: 7 }, sync: { key: 'registro' } },
      legend: { show: false },
    };
    const plot = new uPlot(options, data, box);
    box.uplot = plot;
    plots.push(plot);
    return box;
  });
  const title = document.createElement('p');
  title.className = 'titulo-grafico';
  const named = document.createElement('bdi');
  named.textContent = chart.titulo;
  title.append(named);
  container.replaceChildren(title, legend(chart, banded), ...panels);
  container.plots = plots;
  return plots;
}

// The chart as a PNG: its title, the legend's names, and each panel as drawn (zoom
// included), on white; null when the browser cannot make it.
export function chartPng(plots, chart) {
  if (!plots.length) return Promise.resolve(null);
  const first = plots[0].ctx.canvas;
  const scale = first.width / plots[0].width;
  const titleHeight = 36 * scale;
  const legendHeight = 24 * scale;
  const headHeight = 22 * scale;
  const canvas = document.createElement('canvas');
  canvas.width = first.width;
  canvas.height = titleHeight + legendHeight + plots.reduce((sum, p) => sum + headHeight + p.ctx.canvas.height, 0) + 12 * scale;
  const ctx = canvas.getContext('2d');
  if (!ctx) return Promise.resolve(null);
  ctx.fillStyle = '#ffffff';
  ctx.fillRect(0, 0, canvas.width, canvas.height);
  ctx.fillStyle = '#1c1917';
  ctx.font = `bold ${16 * scale}px system-ui, "DejaVu Sans", sans-serif`;
  ctx.textAlign = 'center';
  ctx.fillText(chart.titulo, canvas.width / 2, 24 * scale);
  ctx.font = `${13 * scale}px system-ui, "DejaVu Sans", sans-serif`;
  ctx.textAlign = 'left';
  let x = 10 * scale;
  const y = titleHeight + legendHeight * 0.6;
  for (const s of chart.leyenda) {
    ctx.strokeStyle = s.color;
    ctx.lineWidth = 2 * scale;
    ctx.setLineDash(s.trazo ? s.trazo.split(' ').map((n) => n * scale) : []);
    ctx.beginPath();
    if (s.puntos) ctx.arc(x + 12 * scale, y - 4 * scale, 4 * scale, 0, 2 * Math.PI);
    else { ctx.moveTo(x, y - 4 * scale); ctx.lineTo(x + 26 * scale, y - 4 * scale); }
    ctx.stroke();
    ctx.setLineDash([]);
    ctx.fillStyle = '#1c1917';
    ctx.fillText(s.nombre, x + 32 * scale, y);
    x += (44 + 7.5 * s.nombre.length) * scale;
  }
  let top = titleHeight + legendHeight;
  chart.paneles.forEach((panel, i) => {
    ctx.font = `bold ${13 * scale}px system-ui, "DejaVu Sans", sans-serif`;
    ctx.fillStyle = panel.alertas.length ? '#b00020' : '#1c1917';
    ctx.fillText(panel.etiqueta + (panel.alertas.length ? ' ⚠' : ''), 10 * scale, top + 16 * scale);
    top += headHeight;
    ctx.drawImage(plots[i].ctx.canvas, 0, top);
    top += plots[i].ctx.canvas.height;
  });
  return new Promise((resolve) => canvas.toBlob(resolve, 'image/png'));
}
