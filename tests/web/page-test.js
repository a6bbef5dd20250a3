// The page in Debian's Chromium, headless with SwiftShader's WebGL2, driven by puppeteer-core.
//
//   node page-test.js MODULES PAGE SPHERE-SIM WORK CASE
//
// MODULES is the folder holding node_modules (npm ci of web/package.json), PAGE the folder
// tools/web.sh --out wrote, WORK a scratch folder for sphere-sim's files and the screenshots.
// CASE is one of:
//   frames-100     100 bodies x 200 frames: the page's frame lines equal sphere-sim's frames
//   frames-keys    1000 bodies x 60 frames with camera keys and a pause replayed from keys
//   click          a click on a body selects it, a click beside every body selects none; a drag
//                  and the wheel move the camera
//   picture        the bodies and the legend are on the screen; l (no click first) emphasises
//                  a level over faint others; a key hides it, in the picture and in the legend;
//                  v and c switch the camera and lay the slab; the canvas follows the window's
//                  size and pixel ratio
//   messages-form  a bad parameter and a browser without WebGL2 get a message on the page; the
//                  form starts another scene
//   measure        no test: prints the figures docs/viewer.md reports
// Chromium is /usr/bin/chromium, or $CHROMIUM; every run has a fresh profile folder.
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');

const [modules, pageDir, simPath, work, testCase] = process.argv.slice(2);
if (!testCase) {
  console.error('usage: node page-test.js MODULES PAGE SPHERE-SIM WORK CASE');
  process.exit(2);
}
const puppeteer = require(path.join(path.resolve(modules), 'node_modules', 'puppeteer-core'));

const waitLimit = 120000;
let failures = 0;

function check(condition, what) {
  console.log((condition ? 'ok: ' : 'FAILED: ') + what);
  failures += condition ? 0 : 1;
}

// The page's folder over HTTP on a free port of the loopback address.
function serve() {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
  const server = http.createServer((request, response) => {
    const name = path.basename(new URL(request.url, 'http://x').pathname) || 'index.html';
    fs.readFile(path.join(pageDir, name), (error, data) => {
      response.writeHead(error ? 404 : 200,
                         { 'Content-Type': types[path.extname(name)] || 'text/plain' });
      response.end(error ? 'not found' : data);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'spheres-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: false,
    userDataDir: profile,
    args: ['--headless=new', '--no-sandbox', '--use-angle=swiftshader',
           '--enable-unsafe-swiftshader', '--no-first-run', '--disable-background-networking',
           '--disable-component-update'],
  });
  browser.profile = profile;
  return browser;
}

// A new tab at 1024 x 768 whose console lines are kept in page.lines.
async function open(browser, url, beforeLoad) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1024, height: 768 });
  page.lines = [];
  page.on('console', (message) => page.lines.push(message.text()));
  page.on('pageerror', (error) => page.lines.push('page error: ' + error.message));
  if (beforeLoad) {
    await page.evaluateOnNewDocument(beforeLoad);
  }
  page.opened = Date.now();
  await page.goto(url);
  return page;
}

async function waitFor(page, what, predicate) {
  const end = Date.now() + waitLimit;
  while (!predicate()) {
    if (Date.now() > end) {
      throw new Error('gave up waiting for ' + what + '; last lines: ' +
                      page.lines.slice(-5).join(' | '));
    }
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

const frameLine = /^frame (\d+) alive (\d+) contacts (\d+)$/;
function frameLines(page) {
  return page.lines.filter((line) => line.startsWith('frame '));
}

// sphere-sim's frames file for the same scene and keys, as "frame N alive A contacts C" lines.
function simFrames(bodies, frames, keys) {
  const file = path.join(work, `frames-${bodies}-${frames}.csv`);
  const args = ['--bodies', bodies, '--frames', frames, '--frames-out', file, '--quiet'];
  childProcess.execFileSync(simPath, keys ? args.concat(['--keys', keys]) : args);
  const rows = fs.readFileSync(file, 'utf8').trim().split('\n');
  const header = rows.shift().split(',');
  const column = (name) => header.indexOf(name);
  return rows.map((row) => {
    const cells = row.split(',');
    return `frame ${cells[column('frame')]} alive ${cells[column('alive')]} ` +
           `contacts ${cells[column('contacts')]}`;
  });
}

async function compareFrames(browser, base, bodies, frames, keys) {
  const expected = simFrames(bodies, frames, keys);
  const query = `bodies=${bodies}&frames=${frames}&rate=960` +
                (keys ? '&keys=' + encodeURIComponent(keys) : '');
  const page = await open(browser, base + '?' + query);
  await waitFor(page, `frame ${frames}`,
                () => page.lines.some((line) => line.startsWith(`frame ${frames} `)));
  const lines = frameLines(page);
  check(lines.every((line) => frameLine.test(line)), 'every frame line has the form of sphere-view\'s');
  check(lines[0].startsWith('frame 0 alive ' + bodies + ' '), 'the start-up line comes first: ' + lines[0]);
  const got = lines.slice(1);
  const first = got.findIndex((line, i) => line !== expected[i]);
  check(got.length === expected.length && first < 0,
        `${got.length} frame lines equal sphere-sim's ${expected.length}` +
        (first >= 0 ? ` (first difference at ${first + 1}: page "${got[first]}", ` +
                      `sphere-sim "${expected[first]}")` : ''));
  await new Promise((resolve) => setTimeout(resolve, 300));
  check(frameLines(page).length === lines.length, 'no frame runs after frame ' + frames);
  return page;
}

// Screen pixels by kind, with the HTML panels hidden; the red spot most covered by bodies.
async function pixels(page, name) {
  // Two pictures drawn since the last input, then the panels hidden.
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(
    () => requestAnimationFrame(resolve))));
  await page.evaluate(() => document.querySelectorAll('.panel').forEach((e) => {
    e.style.visibility = 'hidden';
  }));
  const png = await page.screenshot();
  fs.writeFileSync(path.join(work, name + '.png'), png);
  await page.evaluate(() => document.querySelectorAll('.panel').forEach((e) => {
    e.style.visibility = '';
  }));
  return page.evaluate(async (data) => {
    const image = new Image();
    image.src = 'data:image/png;base64,' + data;
    await image.decode();
    const context = new OffscreenCanvas(image.width, image.height).getContext('2d');
    context.drawImage(image, 0, 0);
    const { width, height, data: rgba } = context.getImageData(0, 0, image.width, image.height);
    const kinds = { red: 0, black: 0, grey: 0, blue: 0, green: 0, yellow: 0, magenta: 0, cyan: 0,
                    orange: 0 };
    const red = new Uint8Array(width * height);
    for (let i = 0; i < width * height; ++i) {
      const [r, g, b] = [rgba[4 * i] / 255, rgba[4 * i + 1] / 255, rgba[4 * i + 2] / 255];
      const kind = r > 0.3 && r > 2 * g && r > 2 * b ? 'red'
                 : r + g + b < 0.05 ? 'black'
                 : Math.abs(r - 0.5) < 0.06 && Math.abs(g - 0.5) < 0.06 && Math.abs(b - 0.5) < 0.06 ? 'grey'
                 : b > 0.8 && g > 0.4 && g < 0.6 && r < 0.4 ? 'blue'
                 : g > 0.8 && r < 0.3 && b < 0.3 ? 'green'
                 : r > 0.8 && g > 0.8 && b < 0.3 ? 'yellow'
                 : r > 0.8 && b > 0.8 && g < 0.4 ? 'magenta'
                 : g > 0.8 && b > 0.8 && r < 0.3 ? 'cyan'
                 : r > 0.9 && g > 0.55 && g < 0.75 && b < 0.2 ? 'orange' : null;
      if (kind) {
        kinds[kind] += 1;
      }
      red[i] = kind === 'red' ? 1 : 0;
    }
    // The pixel whose 9 x 9 square holds the most red ones, and a black one with no red near.
    let best = { count: 0 };
    let empty = null;
    for (let y = 4; y < height - 4; y += 2) {
      for (let x = 4; x < width - 4; x += 2) {
        let count = 0;
        for (let dy = -4; dy <= 4; ++dy) {
          for (let dx = -4; dx <= 4; ++dx) {
            count += red[(y + dy) * width + x + dx];
          }
        }
        if (count > best.count) {
          best = { count, x, y };
        }
        const i = y * width + x;
        if (!empty && count === 0 && rgba[4 * i] + rgba[4 * i + 1] + rgba[4 * i + 2] === 0 &&
            y > height / 2 && x > width / 2) {
          empty = { x, y };
        }
      }
    }
    return { kinds, best, empty };
  }, png.toString('base64'));
}

async function legendRows(page) {
  return page.$$eval('#legend tr', (rows) => rows.map((row) => row.innerText.replace(/\s+/g, ' ').trim()));
}

async function run(browser, base) {
  if (testCase === 'frames-100') {
    await compareFrames(browser, base, 100, 200);
  } else if (testCase === 'frames-keys') {
    // Camera moves and turns (drawn count only), a pause and a resume (frames still run).
    await compareFrames(browser, base, 1000, 60, '5:z,5:z,10:w,12:s,20:space,30:space,31:Q,40:x');
  } else if (testCase === 'click') {
    const page = await open(browser, base + '?bodies=100&frames=0');
    await waitFor(page, 'the heads-up text', () => page.lines.includes('frame 0 alive 100 contacts 0'));
    await page.waitForFunction(() => document.getElementById('heads-up').textContent !== '');
    const { best, empty } = await pixels(page, 'click');
    check(best.count > 40, `a body covers the pixel clicked (${best.x}, ${best.y})`);
    await page.mouse.click(best.x, best.y);
    await waitFor(page, 'a selection line', () => page.lines.some((l) => l.startsWith('selected ')));
    const line = page.lines.find((l) => l.startsWith('selected '));
    const match = /^selected (\d+) at (\S+) (\S+) (\S+) radius (\S+)$/.exec(line);
    check(match !== null, 'the click selects a body: ' + line);
    // The heads-up text follows at the next picture.
    const shown = match !== null && await page.waitForFunction(
      (index) => document.getElementById('heads-up').textContent.includes(`body ${index}:`),
      { timeout: waitLimit }, match[1]).then(() => true, () => false);
    check(shown, 'the heads-up text shows its query');
    const selected = await pixels(page, 'selected');
    check(selected.kinds.orange > 20, `the selected body is outlined in orange (${selected.kinds.orange} pixels)`);
    check(empty !== null, 'there is an empty place to click');
    await page.mouse.click(empty.x, empty.y);
    await waitFor(page, 'a second selection line', () => page.lines.filter((l) => l.startsWith('selected ')).length > 1);
    check(page.lines.filter((l) => l.startsWith('selected ')).pop() === 'selected none',
          'a click beside every body selects none');
    // A drag orbits and the wheel zooms, as in the window: the picture changes.
    const selections = page.lines.length;
    const red = async (name) => (await pixels(page, name)).kinds.red;
    const before = await red('before-drag');
    await page.mouse.move(500, 400);
    await page.mouse.down();
    await page.mouse.move(620, 420, { steps: 5 });
    await page.mouse.up();
    const turned = await red('after-drag');
    check(turned !== before && !page.lines.slice(selections).some((l) => l.startsWith('selected ')),
          `a drag turns the camera and selects nothing (red pixels ${before} -> ${turned})`);
    for (let i = 0; i < 4; ++i) {
      await page.mouse.wheel({ deltaY: -100 });
    }
    const zoomed = await red('after-wheel');
    check(zoomed > turned, `the wheel brings the camera closer (red pixels ${turned} -> ${zoomed})`);
  } else if (testCase === 'picture') {
    const page = await open(browser, base + '?bodies=1000&frames=5');
    await waitFor(page, 'frame 5', () => page.lines.some((l) => l.startsWith('frame 5 ')));
    await page.waitForFunction(() => !document.getElementById('legend').hidden);
    const rows = await legendRows(page);
    check(rows.length === 7 && rows[3].startsWith('level 3 ') && rows[6].startsWith('bodies 1000'),
          'the legend lists the levels and the bodies: ' + rows.join(' | '));
    // No click first: the key goes to the view wherever the focus is. l and L step the emphasis.
    for (const [key, level] of [['l', 4], ['L', 3]]) {
      await page.keyboard.press(key);
      await page.waitForFunction((row) => document.querySelectorAll('#legend tr')[row]
        .classList.contains('emphasised'), { timeout: waitLimit }, level);
    }
    const shown = await pixels(page, 'picture');
    console.log('pixels by kind: ' + JSON.stringify(shown.kinds));
    check(shown.kinds.red > 2000, 'the bodies are drawn in red');
    const others = shown.kinds.blue + shown.kinds.green + shown.kinds.magenta + shown.kinds.cyan;
    check(shown.kinds.yellow > 200 && others * 4 < shown.kinds.yellow,
          `level 3 emphasised in yellow, the other levels faint (${others} pixels at full colour)`);
    await page.keyboard.press('3');
    await page.waitForFunction(() => document.querySelector('#legend tr.hidden') !== null);
    const hidden = await pixels(page, 'picture-without-level-3');
    check(hidden.kinds.yellow * 10 < shown.kinds.yellow && hidden.kinds.red > 2000,
          `a key hides level 3 (yellow ${shown.kinds.yellow} -> ${hidden.kinds.yellow})`);
    check((await legendRows(page))[3].endsWith('hidden'), 'the legend says level 3 is hidden');
    for (const key of ['v', 'c']) {
      await page.keyboard.press(key);
    }
    check(await page.waitForFunction(() => document.getElementById('heads-up').textContent
      .includes('camera demo  slab 1/16'), { timeout: waitLimit }).then(() => true, () => false),
          'v switches to the demo\'s camera and c lays the slab, as the heads-up text says');
    await page.setViewport({ width: 640, height: 480, deviceScaleFactor: 2 });
    await page.waitForFunction(() => {
      const canvas = document.getElementById('canvas');
      return canvas.width === 1280 && canvas.height === 960;
    });
    check(true, 'the canvas follows the window\'s size and pixel ratio');
  } else if (testCase === 'messages-form') {
    for (const [query, expected] of [['bodies=0', '--bodies'], ['colour=red', "unknown parameter 'colour'"],
                                     ['keys=5:zz', '--keys']]) {
      const page = await open(browser, base + '?' + query);
      await page.waitForFunction(() => !document.getElementById('message').hidden);
      const text = await page.$eval('#message', (e) => e.textContent);
      check(text.includes(expected), `?${query} gets a message naming ${expected}: ${text}`);
      check(frameLines(page).length === 0, `?${query} runs no frame`);
    }
    // The form starts the page again with its scene, keeping the rate.
    const formPage = await open(browser, base + '?bodies=0&rate=5');
    await formPage.waitForFunction(() => !document.getElementById('message').hidden);
    await formPage.$eval('#bodies', (e) => { e.value = '50'; });
    await formPage.type('#seed', '3');
    await formPage.select('#scene', 'clusters');
    await Promise.all([formPage.waitForNavigation(), formPage.click('#scene-form button')]);
    check(formPage.url().endsWith('?scene=clusters&bodies=50&seed=3&rate=5'),
          'the form loads ' + formPage.url());
    await waitFor(formPage, 'frame 0', () => frameLines(formPage).length > 0);
    check(frameLines(formPage)[0] === 'frame 0 alive 50 contacts 0', 'with 50 bodies');
    const page = await open(browser, base + '?bodies=10', () => {
      const getContext = HTMLCanvasElement.prototype.getContext;
      HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
        return kind === 'webgl2' ? null : getContext.call(this, kind, ...rest);
      };
    });
    await page.waitForFunction(() => !document.getElementById('message').hidden);
    const text = await page.$eval('#message', (e) => e.textContent);
    check(text.includes('WebGL2'), 'a browser without WebGL2 gets a message: ' + text);
  } else if (testCase === 'measure') {
    const files = ['index.html', 'page.js', 'spheres.js', 'spheres.wasm'];
    const bytes = files.reduce((sum, file) => sum + fs.statSync(path.join(pageDir, file)).size, 0);
    console.log(`page files: ${bytes} bytes (${files.join(', ')})`);
    for (let i = 0; i < 3; ++i) {
      const page = await open(browser, base + '?bodies=100');
      await waitFor(page, 'frame 0', () => page.lines.some((l) => l.startsWith('frame 0 ')));
      console.log(`navigation to the first frame line: ${Date.now() - page.opened} ms`);
      await page.close();
    }
    for (const bodies of [1000, 10000]) {
      const page = await open(browser, base + '?bodies=' + bodies);
      await waitFor(page, 'frame 1', () => page.lines.some((l) => l.startsWith('frame 1 ')));
      const [pictures, seconds] = await page.evaluate(() => new Promise((resolve) => {
        let count = 0;
        const start = performance.now();
        const tick = () => {
          count += 1;
          if (performance.now() - start < 10000) {
            requestAnimationFrame(tick);
          } else {
            resolve([count, (performance.now() - start) / 1000]);
          }
        };
        requestAnimationFrame(tick);
      }));
      const frames = frameLines(page).length;
      console.log(`${bodies} bodies: ${(pictures / seconds).toFixed(1)} pictures/s, ` +
                  `${frames} frames simulated in all; heads-up: ` +
                  (await page.$eval('#heads-up', (e) => e.textContent)).split('\n').slice(0, 2).join(' / '));
      await page.close();
    }
  } else {
    throw new Error('unknown case ' + testCase);
  }
}

(async () => {
  fs.mkdirSync(work, { recursive: true });
  const server = await serve();
  const base = `http://127.0.0.1:${server.address().port}/`;
  const browser = await launch();
  try {
    await run(browser, base);
  } catch (error) {
    check(false, error.message);
  } finally {
    await browser.close();
    fs.rmSync(browser.profile, { recursive: true, force: true });
    server.close();
  }
  console.log(`${testCase}: ${failures === 0 ? 'passed' : failures + ' checks failed'}`);
  process.exit(failures === 0 ? 0 : 1);
})();
