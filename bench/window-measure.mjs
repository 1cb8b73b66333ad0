// The window's timings for bench/window, with the page test's puppeteer-core (npm ci in tests/e2e/web).
import { readFileSync } from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';

const puppeteer = createRequire(new URL('../tests/e2e/web/package.json', import.meta.url))('puppeteer-core');

const [address, pid] = process.argv.slice(2);
const median = (values) => values.sort((a, b) => a - b)[Math.floor(values.length / 2)];

// The server's own share, from a plain HTTP client on one kept-alive connection.
const url = new URL(address);
const agent = new http.Agent({ keepAlive: true, maxSockets: 1 });
const cookie = `lumetra-${url.port}=${url.searchParams.get('token')}`;
const get = (path, method = 'GET', body = null) => new Promise((resolve, reject) => {
  const request = http.request({ host: url.hostname, port: url.port, path, method, agent, headers: {
    Cookie: cookie, Origin: url.origin, 'Content-Type': 'application/json' } }, (response) => {
    response.on('data', () => {});
    response.on('end', resolve);
  });
  request.on('error', reject);
  request.end(body);
});
const clock = async (work, times) => {
  const spent = [];
  for (let i = 0; i < times; ++i) {
    const start = performance.now();
    await work();
    spent.push(performance.now() - start);
  }
  return median(spent);
};
await get('/');
const files = await clock(async () => { for (const path of ['/', '/app.css', '/app.js', '/icon.svg']) await get(path); }, 50);
const status = await clock(() => get('/api/control', 'POST', '{"version":1,"command":"status"}'), 200);
agent.destroy();

const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true, args: ['--no-sandbox'] });
try {
  const page = await browser.newPage();
  // One warm-up load of the browser itself, on a page of its own.
  await page.goto('about:blank');
  const loads = [];
  await page.goto(address, { waitUntil: 'load' });  // the token for the cookie
  for (let i = 0; i < 5; ++i) {
    await page.goto(`${url.origin}/`, { waitUntil: 'load' });
    loads.push(await page.evaluate(() => {
      const [navigation] = performance.getEntriesByType('navigation');
      return navigation.loadEventEnd - navigation.startTime;
    }));
  }
  // From inside the page, as its own requests go: an action, and the lightest request there is.
  const timed = (path, init) => page.evaluate(async (path, init) => {
    const times = [];
    for (let i = 0; i < 200; ++i) {
      const start = performance.now();
      await (await fetch(path, init)).text();
      times.push(performance.now() - start);
    }
    return times;
  }, path, init);
  const trips = await timed('/api/control', {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: '{"version":1,"command":"status"}',
  });
  const revisions = await timed('/api/revision', {});
  const rss = readFileSync(`/proc/${pid}/status`, 'utf8').match(/VmRSS:\s+(\d+)/)[1];
  console.log(`the page's four files from the server: ${files.toFixed(2)} ms (median of 50, target 50 ms)`);
  console.log(`an action's round trip from the server (status): ${status.toFixed(2)} ms (median of 200, target 5 ms)`);
  console.log(`in Chromium, a load of the page (navigation start to the load event): ${median(loads).toFixed(1)} ms (median of 5)`);
  console.log(`in Chromium, an action's round trip (status): ${median(trips).toFixed(2)} ms (median of 200)`);
  console.log(`in Chromium, the lightest round trip (revision): ${median(revisions).toFixed(2)} ms (median of 200)`);
  console.log(`host resident with the page open: ${rss} kB (target 25 MB)`);
} finally {
  await browser.close();
}
