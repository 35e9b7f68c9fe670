// The interface driving the real controller: the headless host runs under Wine behind the
// bridge, and the local HTTPS test server serves "packages.json" and generated packages.
import { expect, test, type Page } from '@playwright/test';
import { execFileSync, spawn, type ChildProcess } from 'node:child_process';
import { mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createInterface } from 'node:readline';
import { join } from 'node:path';
import { buildFolder, repository, review, uiFolder } from './harness';

const root = join(buildFolder, 'e2e-host');
const windowsPath = (path: string) => `Z:${path.replaceAll('/', '\\')}`;
const packagePath = '/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip';
let control = '';
let session = '';
let bridge: ChildProcess | undefined;

async function answer(path: string, body: Buffer | string, query = '') {
  const url = `${control}/sessions/${session}/answers?path=${encodeURIComponent(path)}${query}`;
  expect((await fetch(url, { method: 'PUT', body: typeof body === 'string' ? body : new Uint8Array(body) })).ok).toBe(true);
}

const zip = (version: string) =>
  execFileSync('python3', [join(repository, 'tests/harness/make-package.py'), 'orvantis-aircraft-velmora-weapons', version]);

function simulator(base: string, configuration: string) {
  const packages = join(root, base, 'Packages');
  mkdirSync(join(packages, 'Community'), { recursive: true });
  mkdirSync(join(configuration, '..'), { recursive: true });
  writeFileSync(configuration, `InstalledPackagesPath "${windowsPath(packages)}"\r\n`);
}

async function startHost(page: Page) {
  const origin = `https://localhost:${ports().HUB_TEST_HTTPS_PORT}/t/${session}`;
  bridge = spawn('node', [join(repository, 'tests/harness/bridge.mjs'), '--ui', uiFolder, '--',
    'sh', join(repository, 'tests/harness/wine-run.sh'), buildFolder, join(buildFolder, 'tests/hub_headless_host.exe'),
    '--web-origin', origin, '--documentation-origin', origin, '--pick-folder', windowsPath(join(root, 'custom')),
    '--local-app-data', windowsPath(join(root, 'local')), '--roaming-app-data', windowsPath(join(root, 'roaming'))],
  { stdio: ['ignore', 'pipe', 'inherit'] });
  const [line] = await new Promise<string[]>((done) => createInterface({ input: bridge!.stdout! }).once('line', (l) => done([l])));
  await page.goto(line.replace('bridge listening on ', ''));
  await expect(page.getByText('MSFS 2024 · Steam').first()).toBeVisible({ timeout: 60_000 });
}

async function stopHost() {
  if (!bridge || bridge.exitCode !== null || bridge.signalCode !== null) return;
  const exited = new Promise((done) => bridge!.once('exit', done));
  bridge.kill('SIGTERM');
  await exited;
}

const ports = () => Object.fromEntries(readFileSync(join(buildFolder, 'https-server/ports'), 'utf8')
  .trim().split('\n').map((l) => l.split('=')));

test.beforeAll(async () => {
  rmSync(root, { recursive: true, force: true });
  simulator('sim2024', join(root, 'roaming/Microsoft Flight Simulator 2024/UserCfg.opt'));
  simulator('sim2020', join(root, 'local/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalCache/UserCfg.opt'));
  mkdirSync(join(root, 'custom/Community'), { recursive: true });
  execFileSync('sh', [join(repository, 'tests/harness/https-server.sh'), 'start', buildFolder]);
  control = `http://127.0.0.1:${ports().HUB_TEST_HTTPS_CONTROL_PORT}`;
  session = await (await fetch(`${control}/sessions`, { method: 'POST' })).text();
});
test.afterEach(stopHost);

test('install, cancel, install again, switch targets, update, uninstall', async ({ page }) => {
  test.setTimeout(300_000);
  await page.setViewportSize({ width: 1280, height: 800 });
  await answer('/downloads/orv-hub/packages.json', '{"velmora-weapons-patch":"1.0.0"}');
  await answer(packagePath, '', `&generate=${2 ** 31}`);
  await startHost(page);
  const card = page.getByRole('article', { name: 'Velmora Weapons Patch' });
  const status = card.locator('.status');
  await card.getByRole('button', { name: 'Install' }).click();
  await expect(card.getByRole('progressbar')).toHaveAttribute('aria-valuenow', /^[1-9]/, { timeout: 60_000 });
  await expect(page.getByRole('article', { name: 'Tarsek Weapons Patch' }).getByText('Another operation is in progress.')).toBeVisible();
  await review(page, 'host-downloading');
  await card.getByRole('button', { name: 'Cancel' }).click();
  await expect(card.getByRole('button', { name: 'Install' })).toBeVisible({ timeout: 60_000 });
  await expect(status).toContainText('Not installed');

  await answer(packagePath, zip('1.0.0'));
  await card.getByRole('button', { name: 'Install' }).click();
  await expect(status).toContainText('Installed 1.0.0', { timeout: 60_000 });
  await expect(card.getByRole('button', { name: 'Reinstall' })).toBeVisible();

  await page.getByRole('button', { name: 'Settings' }).click();
  await page.getByRole('radio', { name: /MSFS 2020/ }).click();
  await expect(page.getByRole('radio', { name: /MSFS 2020/ })).toBeChecked({ timeout: 30_000 });
  await page.getByRole('button', { name: 'Choose folder…' }).click();
  await expect(page.getByRole('radio', { name: /Custom folder/ })).toBeChecked({ timeout: 30_000 });
  await expect(page.getByRole('status').first()).toContainText('custom\\Community');
  await review(page, 'host-custom-folder');
  await page.getByRole('radio', { name: /MSFS 2024/ }).click();
  await expect(page.getByRole('radio', { name: /MSFS 2024/ })).toBeChecked({ timeout: 30_000 });
  await stopHost();

  await answer('/downloads/orv-hub/packages.json', '{"velmora-weapons-patch":"1.1.0"}');
  await answer(packagePath, zip('1.1.0'));
  await startHost(page);
  await expect(status).toContainText('Update available', { timeout: 30_000 });
  await card.getByRole('button', { name: 'Update' }).click();
  await expect(status).toContainText('Installed 1.1.0', { timeout: 60_000 });
  await card.getByRole('button', { name: 'Uninstall' }).click();
  await page.getByRole('dialog').getByRole('button', { name: 'Uninstall' }).click();
  await expect(status).toContainText('Not installed', { timeout: 60_000 });
});
