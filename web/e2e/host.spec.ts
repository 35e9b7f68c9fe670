// The interface driving the real controller: the headless host runs under Wine behind the
// bridge, and the local HTTPS test server serves "packages.json" and generated packages.
import { expect as quickExpect, test, type Page } from '@playwright/test';
import { execFileSync, spawn, type ChildProcess } from 'node:child_process';
import { mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { once } from 'node:events';
import { createInterface } from 'node:readline';
import { join } from 'node:path';
import { buildFolder, repository, review, uiFolder } from './harness';

const expect = quickExpect.configure({ timeout: 60_000 });
const root = join(buildFolder, 'e2e-host');
const windowsPath = (path: string) => `Z:${path.replaceAll('/', '\\')}`;
const harness = (name: string) => join(repository, 'tests/harness', name);
const ports = () => Object.fromEntries(readFileSync(join(buildFolder, 'https-server/ports'), 'utf8').trim().split('\n').map((l) => l.split('=')));
let session = '';
let bridge: ChildProcess | undefined;

async function answer(path: string, body: string | Buffer, query = '') {
  const url = `${session}/answers?path=${encodeURIComponent(path)}${query}`;
  expect((await fetch(url, { method: 'PUT', body: typeof body === 'string' ? body : new Uint8Array(body) })).ok).toBe(true);
}
const packagesJson = (version: string) => answer('/downloads/orv-hub/packages.json', `{"velmora-weapons-patch":"${version}"}`);
const velmoraPackage = (version: string) => answer('/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip',
  execFileSync('python3', [harness('make-package.py'), 'orvantis-aircraft-velmora-weapons', version]));

async function startHost(page: Page) {
  const origin = `https://localhost:${ports().HUB_TEST_HTTPS_PORT}/t/${session.split('/').pop()}`;
  const folder = (name: string) => windowsPath(join(root, name));
  bridge = spawn('node', [harness('bridge.mjs'), '--ui', uiFolder, '--', 'sh', harness('wine-run.sh'), buildFolder,
    join(buildFolder, 'tests/hub_headless_host.exe'), '--web-origin', origin, '--documentation-origin', origin,
    '--pick-folder', folder('custom'), '--local-app-data', folder('local'), '--roaming-app-data', folder('roaming')],
  { stdio: ['ignore', 'pipe', 'inherit'] });
  const [line] = await once(createInterface({ input: bridge.stdout! }), 'line');
  await page.goto(String(line).replace('bridge listening on ', ''));
  await expect(page.getByText('MSFS 2024 · Steam').first()).toBeVisible();
}

async function stopHost() {
  if (!bridge || bridge.exitCode !== null || bridge.signalCode !== null) return;
  bridge.kill('SIGTERM');
  await once(bridge, 'exit');
}

test.beforeAll(async () => {
  rmSync(root, { recursive: true, force: true });
  for (const [simulator, configuration] of [['sim2024', 'roaming/Microsoft Flight Simulator 2024'],
    ['sim2020', 'local/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalCache']]) {
    mkdirSync(join(root, simulator, 'Packages/Community'), { recursive: true });
    mkdirSync(join(root, configuration), { recursive: true });
    writeFileSync(join(root, configuration, 'UserCfg.opt'), `InstalledPackagesPath "${windowsPath(join(root, simulator, 'Packages'))}"\r\n`);
  }
  mkdirSync(join(root, 'custom/Community'), { recursive: true });
  execFileSync('sh', [harness('https-server.sh'), 'start', buildFolder]);
  const control = `http://127.0.0.1:${ports().HUB_TEST_HTTPS_CONTROL_PORT}/sessions`;
  session = `${control}/${await (await fetch(control, { method: 'POST' })).text()}`;
});
test.afterEach(stopHost);

test('install, cancel, install again, switch targets, update, uninstall', async ({ page }) => {
  test.setTimeout(300_000);
  await page.setViewportSize({ width: 1280, height: 800 });
  await packagesJson('1.0.0');
  await answer('/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip', '', `&generate=${2 ** 31}`);
  await startHost(page);
  const card = page.getByRole('article', { name: 'Velmora Weapons Patch' });
  const status = card.locator('.status');
  await card.getByRole('button', { name: 'Install' }).click();
  await expect(card.getByRole('progressbar')).toHaveAttribute('aria-valuenow', /^[1-9]/);
  await expect(page.getByRole('article', { name: 'Tarsek Weapons Patch' })).toContainText('Another operation is in progress.');
  await review(page, 'host-downloading');
  await card.getByRole('button', { name: 'Cancel' }).click();
  await expect(card.getByRole('button', { name: 'Install' })).toBeVisible();
  await expect(status).toContainText('Not installed');

  await velmoraPackage('1.0.0');
  await card.getByRole('button', { name: 'Install' }).click();
  await expect(status).toContainText('Installed 1.0.0');

  await page.getByRole('button', { name: 'Settings' }).click();
  const select = async (click: () => Promise<void>, name: RegExp) => {
    await click();
    await expect(page.getByRole('radio', { name })).toBeChecked();
  };
  await select(() => page.getByRole('radio', { name: /MSFS 2020/ }).click(), /MSFS 2020/);
  await select(() => page.getByRole('button', { name: 'Choose folder…' }).click(), /Custom folder/);
  await expect(page.getByRole('status').first()).toContainText('custom\\Community');
  await review(page, 'host-custom-folder');
  await select(() => page.getByRole('radio', { name: /MSFS 2024/ }).click(), /MSFS 2024/);
  await stopHost();

  await packagesJson('1.1.0');
  await velmoraPackage('1.1.0');
  await startHost(page);
  await card.getByRole('button', { name: 'Update' }).click();
  await expect(status).toContainText('Installed 1.1.0');
  await card.getByRole('button', { name: 'Uninstall' }).click();
  await page.getByRole('dialog').getByRole('button', { name: 'Uninstall' }).click();
  await expect(status).toContainText('Not installed');
});
