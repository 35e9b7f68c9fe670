// The interface in Chromium: files served from the build's "ui" folder, window.chrome.webview
// played by tests/harness/fake-webview.js (posted messages collected, snapshots delivered).
import { expect, type Page } from '@playwright/test';
import { readFile } from 'node:fs/promises';
import { mkdirSync } from 'node:fs';
import { extname, join, resolve } from 'node:path';
import type { Snapshot } from '../src/model';

export const buildFolder = resolve(process.env.HUB_BUILD ?? '../build');
export const uiFolder = join(buildFolder, 'ui');
export const sizes = [{ width: 1280, height: 800 }, { width: 1080, height: 680 }];
const types: Record<string, string> = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.svg': 'image/svg+xml' };

export const repository = resolve('..');

export async function openFake(page: Page): Promise<void> {
  await page.addInitScript({ path: join(repository, 'tests/harness/fake-webview.js') });
  await page.route('http://hub.test/**', async (route) => {
    const path = new URL(route.request().url()).pathname.slice(1) || 'index.html';
    const body = await readFile(join(uiFolder, path)).catch(() => null);
    await route.fulfill(body ? { body, contentType: types[extname(path)] } : { status: 404 });
  });
  await page.goto('http://hub.test/index.html');
}

export const deliver = (page: Page, snapshot: Snapshot | string) =>
  page.evaluate((data) => (window as unknown as { deliver: (d: unknown) => void }).deliver(data), snapshot);
export const lastPosted = (page: Page) =>
  page.evaluate(() => (window as unknown as { posted: unknown[] }).posted.at(-1));

/** axe finds nothing, nothing scrolls sideways, and the screenshot is written for review. */
export async function review(page: Page, name: string): Promise<void> {
  await page.addScriptTag({ path: resolve('node_modules/axe-core/axe.min.js') });
  const violations = await page.evaluate(async () =>
    (await (window as unknown as { axe: { run: () => Promise<{ violations: { id: string; nodes: unknown[] }[] }> } }).axe.run())
      .violations.map((v) => `${v.id} (${v.nodes.length})`));
  expect(violations, name).toEqual([]);
  const overflow = await page.evaluate(() => [document.documentElement, ...document.querySelectorAll('.content, .topbar, .rail')]
    .filter((e) => e.scrollWidth > e.clientWidth).map((e) => e.className || e.tagName));
  expect(overflow, name).toEqual([]);
  const { width, height } = page.viewportSize()!;
  mkdirSync(join(buildFolder, 'screenshots'), { recursive: true });
  await page.screenshot({ path: join(buildFolder, 'screenshots', `${name}-${width}x${height}.png`) });
}
