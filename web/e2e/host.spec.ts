// The interface driving the real controller: the headless host runs under Wine behind the
// bridge, and the local HTTPS test server serves "packages.json" and generated packages.
// Updating and uninstalling through the real host are driven by the demo check.
import { expect as quickExpect, test } from '@playwright/test';
import { execFileSync, spawn, type ChildProcess } from 'node:child_process';
import { once } from 'node:events';
import { mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import { Readable } from 'node:stream';
import { snapshotSchema } from '../src/model';
import { buildFolder, repository, review, uiFolder } from './harness';

const expect = quickExpect.configure({ timeout: 60_000 });
const root = join(buildFolder, 'e2e-host');
const folder = (name: string) => (mkdirSync(join(root, name), { recursive: true }), join(root, name));
const windowsPath = (path: string) => `Z:${path.replaceAll('/', '\\')}`;
const harness = (name: string) => join(repository, 'tests/harness', name);
const ports = () => Object.fromEntries(readFileSync(join(buildFolder, 'https-server/ports'), 'utf8').trim().split('\n').map((l) => l.split('=')));
let bridge: ChildProcess | undefined;
test.afterEach(async () => { if (bridge?.kill('SIGTERM')) await once(bridge, 'exit'); });

test('install with progress, cancel, install again, copy the support report, switch targets', async ({ page }) => {
  test.setTimeout(300_000);
  rmSync(root, { recursive: true, force: true });
  for (const [simulator, configuration] of [['sim2024', 'roaming/Microsoft Flight Simulator 2024'],
    ['sim2020', 'local/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalCache']]) {
    folder(`${simulator}/Packages/Community`);
    writeFileSync(join(folder(configuration), 'UserCfg.opt'), `InstalledPackagesPath "${windowsPath(join(root, simulator, 'Packages'))}"\r\n`);
  }
  folder('custom/Community');
  writeFileSync(join(folder('local/Orvantis/Hub'), 'hub.log'), Array.from({ length: 250 }, (_, n) => `2026-01-01 00:00:00  old ${n}\r\n`).join(''));
  execFileSync('sh', [harness('https-server.sh'), 'start', buildFolder]);
  const control = `http://127.0.0.1:${ports().HUB_TEST_HTTPS_CONTROL_PORT}/sessions`;
  const session = await (await fetch(control, { method: 'POST' })).text();
  const answer = async (body: BodyInit, query = '', path = '/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip') =>
    expect((await fetch(`${control}/${session}/answers?path=${encodeURIComponent(path)}${query}`, { method: 'PUT', body })).ok).toBe(true);
  await answer('{"velmora-weapons-patch":"1.0.0"}', '', '/downloads/orv-hub/packages.json');
  await answer('', `&generate=${2 ** 31}`);

  const origin = `https://localhost:${ports().HUB_TEST_HTTPS_PORT}/t/${session}`;
  bridge = spawn('node', [harness('bridge.mjs'), '--ui', uiFolder, '--', 'sh', harness('wine-run.sh'), buildFolder,
    join(buildFolder, 'tests/hub_headless_host.exe'), '--web-origin', origin, '--documentation-origin', origin,
    '--pick-folder', windowsPath(folder('custom')), '--local-app-data', windowsPath(folder('local')), '--roaming-app-data', windowsPath(folder('roaming'))],
  { stdio: ['ignore', 'pipe', 'pipe'] });
  let errors = ''; // the host writes the support report there
  bridge.stderr!.on('data', (data) => { errors += data; });
  const [line] = await once(createInterface({ input: bridge.stdout! }), 'line');
  await page.setViewportSize({ width: 1280, height: 800 });
  const address = String(line).replace('bridge listening on ', '');
  await page.goto(address);
  // The host's own snapshots, read beside the page: the schema takes each one whole, with no key
  // left over and no value it does not know, or the interface has drifted from the host.
  // (The stream breaks off when the bridge stops.)
  const events = createInterface({ input: Readable.fromWeb((await fetch(`${address}__bridge/events`)).body as never).on('error', () => {}) });
  let latest = '';
  events.on('line', (text) => { if (text.startsWith('data: ')) latest = text.slice(6); });
  const readable = async (when: string, test: (raw: Record<string, unknown>) => boolean) => {
    await expect.poll(() => latest && test(JSON.parse(latest)), when).toBe(true);
    const raw = JSON.parse(latest);
    quickExpect(snapshotSchema.parse(raw), when).toEqual(raw);
  };
  await readable('idle', (raw) => raw.error === '');

  const card = page.getByRole('article', { name: 'Velmora Weapons Patch' });
  const install = card.getByRole('button', { name: 'Install', exact: true });
  await install.click();
  const strip = page.getByRole('region', { name: 'Status' });
  await expect(strip.getByRole('progressbar')).toHaveAttribute('aria-valuenow', /^[1-9]/);
  await expect(page.getByRole('article', { name: 'Tarsek Weapons Patch' })).toContainText('Another operation is in progress.');
  await readable('installing', (raw) => (raw.operation as { progress: number }).progress > 0);
  await review(page, 'host-downloading');
  await strip.getByRole('button', { name: 'Cancel' }).click();
  await expect(page.getByText('Weapons Patch: operation cancelled, nothing was changed.')).toBeVisible();
  await answer(new Uint8Array(execFileSync('python3', [harness('make-package.py'), 'orvantis-aircraft-velmora-weapons', '1.0.0'])));
  await install.click();
  await expect(card.locator('.status')).toContainText('Installed 1.0.0');
  await fetch(`${address}__bridge/post`, { method: 'POST', body: '{"type": "launch", "componentId": "orv-camera"}' });
  await expect(strip.getByRole('alert')).toHaveText(/Camera System cannot be started\./);
  await readable('after an error', (raw) => raw.error !== '');

  await page.getByRole('button', { name: 'Settings' }).click();
  await page.getByRole('button', { name: 'Copy support report' }).click();
  await expect(strip.getByRole('status')).toHaveText(/^Support report copied to the clipboard\./);
  await review(page, 'host-support-notice');
  const logLines = () => (errors.split('Activity log, last 200 lines:\r\n')[1] ?? '').split('\r\n').filter((l) => /^\d{4}-/.test(l));
  await expect.poll(() => logLines().length).toBe(200);
  for (const part of ['Hub version: 1.0.1\r\nWindows version: ', 'Last error: Camera System cannot be started.\r\n',
    `Target: MSFS 2024 Steam [msfs2024-steam]: ${windowsPath(join(root, 'sim2024/Packages'))}\\Community (available)\r\n`,
    '  Velmora · Weapons Patch [velmora-weapons-patch]: installed 1.0.0, available 1.0.0\r\n']) quickExpect(errors).toContain(part);
  quickExpect(logLines()).not.toContain('2026-01-01 00:00:00  old 49');
  await page.getByRole('radio', { name: /MSFS 2020/ }).click();
  await expect(page.getByRole('radio', { name: /MSFS 2020/ })).toBeChecked();
  await page.getByRole('button', { name: 'Choose folder…' }).click();
  await expect(page.getByRole('radio', { name: /Custom folder/ })).toBeChecked();
  await expect(strip.getByRole('status')).toContainText('custom\\Community');
  await review(page, 'host-custom-folder');
  events.close();
});
