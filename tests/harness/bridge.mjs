// Serves the built interface to an ordinary browser and connects it to a host process that
// speaks JSON lines, so that the real controller (the headless host under Wine) drives the page
// the way the window's web view would. Never shipped.
//
//   node tests/harness/bridge.mjs --ui DIR [--port N] [--address 127.0.0.1] -- HOST COMMAND...
//
//   --ui       folder with the built index.html and its assets
//   --port     loopback port to listen on (default 0: any free port)
//   --address  address to listen on (default 127.0.0.1)
//   HOST...    the host command; its standard input receives one interface message per line,
//              every line it writes on standard output is a state snapshot for the page
//
// When listening, the bridge writes "bridge listening on http://ADDRESS:PORT/" on standard
// output. index.html gets a script that defines window.chrome.webview: postMessage(object)
// sends the object to the host's standard input (in order), and every snapshot line arrives
// as a "message" event whose data is the parsed object (server-sent events). The host's
// standard error is passed through to the bridge's. When the host exits the bridge exits with
// its code; on SIGINT or SIGTERM the bridge closes the host's input (which closes it) first.
import { spawn } from 'node:child_process';
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize, resolve } from 'node:path';
import { createInterface } from 'node:readline';

const separator = process.argv.indexOf('--');
const options = parseOptions(process.argv.slice(2, separator < 0 ? undefined : separator));
const hostCommand = separator < 0 ? [] : process.argv.slice(separator + 1);
if (!options.ui || hostCommand.length === 0) {
  process.stderr.write('usage: node bridge.mjs --ui DIR [--port N] [--address A] -- HOST...\n');
  process.exit(2);
}
const uiFolder = resolve(options.ui);

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
  '.jpg': 'image/jpeg',
  '.json': 'application/json',
  '.ico': 'image/x-icon',
};

// The page's side of the web view: ordered posts, snapshots as message events.
const shim = `(() => {
  const listeners = new Set();
  let queue = Promise.resolve();
  const post = (message) => {
    const body = JSON.stringify(message);
    queue = queue.then(() => fetch('/__bridge/post', { method: 'POST', body })).catch(() => {});
  };
  window.chrome = window.chrome || {};
  window.chrome.webview = {
    postMessage: post,
    addEventListener: (type, listener) => { if (type === 'message') listeners.add(listener); },
    removeEventListener: (type, listener) => listeners.delete(listener),
  };
  new EventSource('/__bridge/events').onmessage = (event) => {
    let data;
    try { data = JSON.parse(event.data); } catch { return; }
    for (const listener of listeners) listener({ data });
  };
})();`;

function parseOptions(args) {
  const result = { port: '0', address: '127.0.0.1' };
  for (let i = 0; i < args.length; i += 2) {
    const key = args[i].replace(/^--/, '');
    if (!['ui', 'port', 'address'].includes(key) || args[i + 1] === undefined) {
      process.stderr.write(`unknown or incomplete option: ${args[i]}\n`);
      process.exit(2);
    }
    result[key] = args[i + 1];
  }
  return result;
}

const host = spawn(hostCommand[0], hostCommand.slice(1), { stdio: ['pipe', 'pipe', 'inherit'] });
const clients = new Set();
let lastSnapshot = null;
createInterface({ input: host.stdout }).on('line', (line) => {
  if (!line.startsWith('{')) return;
  lastSnapshot = line;
  for (const client of clients) client.write(`data: ${line}\n\n`);
});
host.on('exit', (code, signal) => {
  process.stderr.write(`bridge: host exited (${signal ?? code})\n`);
  process.exit(code ?? 1);
});
host.stdin.on('error', () => {});
for (const name of ['SIGINT', 'SIGTERM']) process.on(name, () => host.stdin.end());

async function serveFile(request, response) {
  const path = decodeURIComponent(new URL(request.url, 'http://bridge').pathname);
  const relative = normalize(path === '/' ? '/index.html' : path).replace(/^[/\\]+/, '');
  const file = join(uiFolder, relative);
  if (!file.startsWith(uiFolder)) return respond(response, 403, 'forbidden');
  let body;
  try {
    body = await readFile(file);
  } catch {
    return respond(response, 404, 'not found');
  }
  if (relative === 'index.html') {
    body = body.toString('utf8').replace('<head>', '<head><script src="/__bridge/shim.js"></script>');
  }
  response.writeHead(200, { 'content-type': types[extname(file)] ?? 'application/octet-stream' });
  response.end(body);
}

function respond(response, status, text, type = 'text/plain; charset=utf-8') {
  response.writeHead(status, { 'content-type': type, 'cache-control': 'no-store' });
  response.end(text);
}

function relay(request, response) {
  const chunks = [];
  request.on('data', (chunk) => chunks.push(chunk));
  request.on('end', () => {
    const line = Buffer.concat(chunks).toString('utf8').replace(/[\r\n]+/g, ' ');
    host.stdin.write(`${line}\n`);
    respond(response, 204, '');
  });
}

function subscribe(request, response) {
  response.writeHead(200, { 'content-type': 'text/event-stream', 'cache-control': 'no-store' });
  if (lastSnapshot) response.write(`data: ${lastSnapshot}\n\n`);
  clients.add(response);
  request.on('close', () => clients.delete(response));
}

const server = createServer((request, response) => {
  const path = new URL(request.url, 'http://bridge').pathname;
  if (path === '/__bridge/shim.js') return respond(response, 200, shim, types['.js']);
  if (path === '/__bridge/post' && request.method === 'POST') return relay(request, response);
  if (path === '/__bridge/events') return subscribe(request, response);
  return serveFile(request, response);
});
server.listen(Number(options.port), options.address, () => {
  const { address, port } = server.address();
  process.stdout.write(`bridge listening on http://${address}:${port}/\n`);
});
