// Draws the charts of a page from the JSON its canvases name; the page works without them.
'use strict';

(function () {
  const pass = '#1a7f37', fail = '#b42318', blue = '#2557a7', grey = '#8a8f98';

  function day(ms) {
    return new Date(ms).toISOString().slice(0, 10);
  }

  function unitChart(canvas, data) {
    const id = Number(canvas.dataset.run), q = canvas.dataset.quantity;
    const run = data.runs.find(function (r) { return r.id === id; });
    if (!run) return null;
    const out = [], disp = [];
    run.spots.forEach(function (s) {
      const v = s[q], set = parseFloat(v.setting);
      if (isNaN(set)) return;
      if (v.output !== '') out.push({ x: set, y: parseFloat(v.output) - set });
      if (v.display !== '') disp.push({ x: set, y: parseFloat(v.display) - set });
    });
    const unit = q === 'voltage' ? 'V' : 'A';
    return {
      type: 'line',
      data: { datasets: [
        { label: 'Output − Setting (' + unit + ')', data: out, borderColor: blue, backgroundColor: blue },
        { label: 'Display − Setting (' + unit + ')', data: disp, borderColor: grey, backgroundColor: grey },
      ] },
      options: { scales: { x: { type: 'linear', title: { display: true, text: 'Setting (' + unit + ')' } } } },
    };
  }

  function yieldChart(canvas, data) {
    return {
      type: 'bar',
      data: {
        labels: data.days.map(function (d) { return d.key; }),
        datasets: [
          { label: 'PASS', data: data.days.map(function (d) { return d.pass; }), backgroundColor: pass, stack: 'n' },
          { label: 'FAIL', data: data.days.map(function (d) { return d.fail; }), backgroundColor: fail, stack: 'n' },
          { label: 'Yield %', type: 'line', yAxisID: 'ratio', borderColor: blue, backgroundColor: blue,
            data: data.days.map(function (d) { return Math.round(d.ratio * 1000) / 10; }) },
        ],
      },
      options: { scales: { y: { stacked: true, title: { display: true, text: 'Runs' } },
                           x: { stacked: true },
                           ratio: { position: 'right', min: 0, max: 100, grid: { drawOnChartArea: false } } } },
    };
  }

  function driftChart(canvas, data) {
    const q = canvas.dataset.quantity, limit = data.limits[q];
    const points = data.points.map(function (p) { return { x: Date.parse(p.time), y: p[q], bench: p.bench, serial: p.serial }; });
    const xs = points.map(function (p) { return p.x; });
    const first = Math.min.apply(null, xs.length ? xs : [Date.parse(data.from)]);
    const last = Math.max.apply(null, xs.length ? xs : [Date.parse(data.to)]);
    const edge = function (y) { return [{ x: first, y: y }, { x: last, y: y }]; };
    return {
      type: 'scatter',
      data: { datasets: [
        { label: 'Output − Setting', data: points, backgroundColor: blue, pointRadius: 2 },
        { label: 'Limit', data: edge(limit), type: 'line', borderColor: fail, pointRadius: 0 },
        { label: 'Limit ', data: edge(-limit), type: 'line', borderColor: fail, pointRadius: 0 },
      ] },
      options: {
        scales: { x: { type: 'linear', ticks: { callback: day } } },
        plugins: { tooltip: { callbacks: { label: function (c) {
          const p = c.raw;
          return p.serial ? p.serial + ' · ' + p.bench + ' · ' + p.y.toFixed(4) : '';
        } } } },
      },
    };
  }

  function benchChart(canvas, data) {
    const q = canvas.dataset.quantity, limit = data.limits[q];
    const labels = data.benches.map(function (b) { return b.bench; });
    return {
      type: 'bar',
      data: { labels: labels, datasets: [
        { label: 'Lowest to highest', data: data.benches.map(function (b) { return [b[q].low, b[q].high]; }),
          backgroundColor: 'rgba(37,87,167,0.35)' },
        { label: 'Mean', type: 'line', showLine: false, data: data.benches.map(function (b) { return b[q].mean; }),
          borderColor: blue, backgroundColor: blue },
        { label: 'Limit', type: 'line', pointRadius: 0, data: labels.map(function () { return limit; }), borderColor: fail },
        { label: 'Limit ', type: 'line', pointRadius: 0, data: labels.map(function () { return -limit; }), borderColor: fail },
      ] },
    };
  }

  const kinds = { unit: unitChart, yield: yieldChart, drift: driftChart, 'drift-bench': benchChart };

  // Charts of the same data share one download: a drift page draws four from one series.
  const loads = {};
  function load(src) {
    if (!loads[src]) {
      loads[src] = fetch(src, { credentials: 'same-origin' })
        .then(function (r) { if (!r.ok) throw new Error(r.status); return r.json(); });
    }
    return loads[src];
  }

  function draw(canvas) {
    const make = kinds[canvas.dataset.chart];
    load(canvas.dataset.src)
      .then(function (data) {
        const config = make(canvas, data);
        if (!config || typeof Chart === 'undefined') throw new Error('no chart');
        config.options = Object.assign({ animation: false, maintainAspectRatio: false }, config.options || {});
        new Chart(canvas, config);
        canvas.dataset.drawn = 'true';
      })
      .catch(function (e) {
        const note = document.createElement('p');
        note.className = 'message';
        note.textContent = 'The chart could not be drawn (' + e.message + ').';
        canvas.parentNode.appendChild(note);
      });
  }

  document.addEventListener('DOMContentLoaded', function () {
    document.querySelectorAll('canvas[data-chart]').forEach(draw);
  });
})();
