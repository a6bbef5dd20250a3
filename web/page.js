// The page's shell: the canvas's size, the keys and the mouse forwarded to the C++ (spheres.js),
// and what the C++ shows (heads-up text, legend, messages) put into HTML. The URL's parameters
// go to the C++ unread, as "name=value" arguments; its option reader checks them.
'use strict';

const canvas = document.getElementById('canvas');
const params = new URLSearchParams(location.search);
let running = false;
let lastLegend = '';

function showMessage(text) {
  const box = document.getElementById('message');
  box.textContent = text;
  box.hidden = false;
}

// The window's legend as a table: colour, level, node count, shown or hidden; the emphasised
// level in bold, the bodies' row (level -1) last with the leaves and the escaped ones.
function showLegend(json) {
  if (json === lastLegend) {
    return;
  }
  lastLegend = json;
  const table = document.createElement('table');
  for (const row of JSON.parse(json)) {
    const tr = table.insertRow();
    tr.className = (row.shown ? '' : 'hidden') + (row.emphasised ? ' emphasised' : '');
    const swatch = document.createElement('span');
    swatch.className = 'swatch';
    swatch.style.background = row.colour;
    tr.insertCell().append(swatch);
    const bodies = row.level < 0;
    tr.insertCell().textContent = bodies ? 'bodies' : 'level ' + row.level;
    tr.insertCell().textContent = bodies ? row.text.replace(/^bodies\s+/, '')
                                         : row.nodes + (row.nodes === 1 ? ' node' : ' nodes');
    tr.insertCell().textContent = bodies ? '' : !row.shown ? 'hidden'
                                              : row.emphasised ? 'emphasised' : 'shown';
  }
  const box = document.getElementById('legend');
  box.replaceChildren(table);
  box.hidden = false;
}

var Module = {
  canvas: canvas,
  arguments: Array.from(params, ([name, value]) => name + '=' + value),
  print: (line) => console.log(line),
  printErr: (line) => console.error(line),
  // Called by the C++: what is "error", "headsUp" or "legend".
  show(what, text) {
    if (what === 'error') {
      showMessage(text);
    } else if (what === 'headsUp') {
      document.getElementById('heads-up').textContent = text;
    } else if (what === 'legend') {
      showLegend(text);
    }
  },
  onRuntimeInitialized() {
    running = true;
  },
  onAbort(reason) {
    running = false;
    showMessage('The page stopped: ' + reason);
  },
};

// The drawing buffer has the canvas's size in device pixels, whatever the window and its zoom.
function fitCanvas() {
  const ratio = window.devicePixelRatio || 1;
  canvas.width = Math.max(1, Math.round(canvas.clientWidth * ratio));
  canvas.height = Math.max(1, Math.round(canvas.clientHeight * ratio));
}
fitCanvas();
window.addEventListener('resize', fitCanvas);
// A change of pixel ratio alone (the window moved to another screen) sends no resize.
(function watchRatio() {
  matchMedia('(resolution: ' + window.devicePixelRatio + 'dppx)')
    .addEventListener('change', () => { fitCanvas(); watchRatio(); }, { once: true });
})();

// Keys reach the view wherever the focus is, except while typing into the form.
window.addEventListener('keydown', (event) => {
  if (!running || event.ctrlKey || event.metaKey || event.altKey ||
      event.target.closest('form')) {
    return;
  }
  const code = event.key === 'Escape' ? 27
             : event.key.length === 1 ? event.key.charCodeAt(0) : 0;
  if (code > 0 && code < 256) {
    Module._pageKey(code);
    event.preventDefault();
  }
});

function canvasPoint(event) {
  const box = canvas.getBoundingClientRect();
  return [Math.round(event.clientX - box.left), Math.round(event.clientY - box.top)];
}
canvas.addEventListener('mousedown', (event) => {
  if (running) {
    document.activeElement.blur();
    Module._pageMouseDown(event.button, ...canvasPoint(event));
    event.preventDefault();
  }
});
window.addEventListener('mousemove', (event) => {
  if (running) {
    Module._pageMouseMove(...canvasPoint(event));
  }
});
window.addEventListener('mouseup', (event) => {
  if (running) {
    Module._pageMouseUp(event.button, ...canvasPoint(event));
  }
});
canvas.addEventListener('contextmenu', (event) => event.preventDefault());
canvas.addEventListener('wheel', (event) => {
  if (running && event.deltaY !== 0) {
    Module._pageWheel(event.deltaY < 0 ? 1 : -1);
  }
  event.preventDefault();
}, { passive: false });

// The form starts the page again with another scene; the rate and spread stay, the replayed
// keys and the frame limit belong to the scene that was.
const form = document.getElementById('scene-form');
for (const name of ['bodies', 'seed']) {
  form.elements[name].value = params.get(name) || '';
}
form.elements.scene.value = params.get('scene') || 'program';
form.addEventListener('submit', (event) => {
  event.preventDefault();
  const next = new URLSearchParams();
  for (const name of ['scene', 'bodies', 'seed']) {
    const value = form.elements[name].value.trim();
    if (value !== '') {
      next.set(name, value);
    }
  }
  for (const name of ['spread', 'rate']) {
    if (params.has(name)) {
      next.set(name, params.get(name));
    }
  }
  location.search = next.toString();
});
