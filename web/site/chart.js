// SPDX-License-Identifier: GPL-3.0-or-later
// A log's chart with uPlot, from the description the module gives (the same one
// quemador1-calc --grafico draws as SVG): efficiencies on the left axis, O2 on the
// right, over time or over the line in the file; the marked rows as points. Drag to
// zoom, double-click to see it whole; the cursor reads every series.

const decimal = (v) => (v === null || v === undefined ? '—' : String(+v.toFixed(2)).replace('.', ','));
const two = (n) => String(n).padStart(2, '0');

// A moment on the log's own clock (seconds from 1970, no time zone).
export function momentText(seconds, withTime) {
  const d = new Date(seconds * 1000);
  const date = `${two(d.getUTCDate())}/${two(d.getUTCMonth() + 1)}/${d.getUTCFullYear()}`;
  return withTime ? `${date} ${two(d.getUTCHours())}:${two(d.getUTCMinutes())}` : date;
}

function xText(chart, value, withTime) {
  return chart.en_el_tiempo ? momentText(value, withTime) : `línea ${value}`;
}

// Draws the chart into container; returns the uPlot instance.
export function drawChart(container, chart) {
  const table = uPlot.join(chart.series.map((s) => [s.x, s.y]));
  const options = {
    title: chart.titulo,
    width: Math.max(280, container.clientWidth),
    height: container.clientWidth < 500 ? 280 : 380,
    // Moments on the log's own clock: shown as written, with no time zone moved.
    tzDate: (seconds) => uPlot.tzDate(new Date(seconds * 1000), 'Etc/UTC'),
    // A margin of 2 % each side, so that a first or last point is not cut in half.
    scales: {
      x: { time: chart.en_el_tiempo, range: (u, min, max) => [min - (max - min) / 50, max + (max - min) / 50] },
      y: { auto: true },
      o2: { auto: true },
    },
    axes: [
      {
        label: chart.eje_x,
        // A date takes about 75 px: room for two or three on a phone.
        space: (u) => (chart.en_el_tiempo ? (u.width < 500 ? 80 : 110) : 60),
        values: (u, splits) => {
          if (!chart.en_el_tiempo) return splits.map(decimal);
          const step = splits.length > 1 ? splits[1] - splits[0] : 86400;
          return splits.map((v) => momentText(v, step < 86400));
        },
      },
      { label: chart.eje_y, scale: 'y', values: (u, splits) => splits.map(decimal) },
      { label: chart.eje_y2, scale: 'o2', side: 1, grid: { show: false }, values: (u, splits) => splits.map(decimal) },
    ],
    series: [
      { label: chart.eje_x, value: (u, v) => (v === null || v === undefined ? '—' : xText(chart, v, true)) },
      ...chart.series.map((s) => ({
        label: s.etiqueta,
        scale: s.derecha ? 'o2' : 'y',
        stroke: s.color,
        width: s.puntos ? 0 : s.medida === 'o2' ? 1.5 : 2,
        dash: s.trazo ? s.trazo.split(' ').map(Number) : undefined,
        spanGaps: true,
        value: (u, v) => decimal(v),
        ...(s.puntos
          ? { paths: () => null, points: { show: true, size: 9, width: 2, stroke: s.color, fill: s.medida === 'fuera' ? s.color : '#ffffff' } }
          : { points: { show: (u, i, i0, i1) => i1 - i0 < 60 } }),
      })),
    ],
    cursor: { drag: { x: true, y: false }, points: { size: 7 } },
    legend: { live: true },
  };
  container.replaceChildren();
  const plot = new uPlot(options, table, container);
  // Each name in the legend isolated from the rest, and whole on hover when shortened.
  plot.root.querySelectorAll('.u-legend .u-series .u-label').forEach((label, i) => {
    label.dir = 'auto';
    if (i > 0) label.title = chart.series[i - 1].nombre;
  });
  container.uplot = plot;
  return plot;
}

// The chart as a PNG: its title, the plot as drawn (zoom included) and the legend's
// names, on white; null when the browser cannot make it.
export function chartPng(plot, chart) {
  const plotCanvas = plot.ctx.canvas;
  const scale = plotCanvas.width / plot.width;
  const itemWidth = (s) => (40 + 7.5 * [...s.etiqueta].length) * scale;
  const rows = [[]];
  let used = 0;
  for (const s of chart.series) {
    if (used + itemWidth(s) > plotCanvas.width && rows.at(-1).length) {
      rows.push([]);
      used = 0;
    }
    rows.at(-1).push(s);
    used += itemWidth(s);
  }
  const titleHeight = 36 * scale;
  const rowHeight = 22 * scale;
  const canvas = document.createElement('canvas');
  canvas.width = plotCanvas.width;
  canvas.height = titleHeight + plotCanvas.height + rows.length * rowHeight + 12 * scale;
  const ctx = canvas.getContext('2d');
  if (!ctx) return Promise.resolve(null);
  ctx.fillStyle = '#ffffff';
  ctx.fillRect(0, 0, canvas.width, canvas.height);
  ctx.fillStyle = '#1c1917';
  ctx.font = `bold ${16 * scale}px system-ui, "DejaVu Sans", sans-serif`;
  ctx.textAlign = 'center';
  ctx.fillText(chart.titulo, canvas.width / 2, 24 * scale);
  ctx.drawImage(plotCanvas, 0, titleHeight);
  ctx.font = `${13 * scale}px system-ui, "DejaVu Sans", sans-serif`;
  ctx.textAlign = 'left';
  let y = titleHeight + plotCanvas.height + rowHeight * 0.8;
  for (const row of rows) {
    let x = 10 * scale;
    for (const s of row) {
      ctx.strokeStyle = s.color;
      ctx.fillStyle = s.color;
      ctx.lineWidth = 2 * scale;
      ctx.setLineDash(s.trazo ? s.trazo.split(' ').map((n) => n * scale) : []);
      ctx.beginPath();
      if (s.puntos) ctx.arc(x + 12 * scale, y - 4 * scale, 4 * scale, 0, 2 * Math.PI);
      else { ctx.moveTo(x, y - 4 * scale); ctx.lineTo(x + 26 * scale, y - 4 * scale); }
      ctx.stroke();
      ctx.setLineDash([]);
      ctx.fillStyle = '#1c1917';
      ctx.fillText(s.etiqueta, x + 32 * scale, y);
      x += itemWidth(s);
    }
    y += rowHeight;
  }
  return new Promise((resolve) => canvas.toBlob(resolve, 'image/png'));
}
