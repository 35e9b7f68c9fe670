// The interface in Chromium: files served from the build's "ui" folder, window.chrome.webview
// played by tests/harness/fake-webview.js (posted messages collected, snapshots delivered).
import { expect, type Page } from '@playwright/test';
import { existsSync } from 'node:fs';
import { join, resolve } from 'node:path';
import type { Snapshot } from '../src/model';
import type { PlayedWebView } from './fixtures';

export const buildFolder = resolve(process.env.HUB_BUILD ?? '../build');
export const uiFolder = join(buildFolder, 'ui');
export const repository = resolve('..');
// The smallest window is 1080×680 with its frame: at 96 DPI its client area is 1064×641.
export const sizes = [{ width: 1280, height: 800 }, { width: 1080, height: 680 }, { width: 1064, height: 641 }];

/** The page with the played web view, showing SNAPSHOT once it listens: it asks for a first one then. */
export async function openFake(page: Page, snapshot: Snapshot): Promise<void> {
  await page.addInitScript({ path: join(repository, 'tests/harness/fake-webview.js') });
  await page.route('http://hub.test/**', (route) => {
    const path = join(uiFolder, new URL(route.request().url()).pathname);
    return route.fulfill(existsSync(path) ? { path } : { status: 404 });
  });
  await page.goto('http://hub.test/index.html');
  await page.waitForFunction(() => (window as unknown as PlayedWebView).posted.length > 0);
  await page.evaluate((data) => (window as unknown as PlayedWebView).deliver(data), snapshot);
}

/** axe finds nothing, nothing scrolls sideways, and the screenshot is written for review. */
export async function review(page: Page, name: string): Promise<void> {
  await page.addScriptTag({ path: resolve('node_modules/axe-core/axe.min.js') });
  type Axe = { axe: { run: () => Promise<{ violations: { id: string; nodes: unknown[] }[] }> } };
  expect(await page.evaluate(async () => ({
    violations: (await (window as unknown as Axe).axe.run()).violations.map((v) => `${v.id} (${v.nodes.length})`),
    overflow: [document.documentElement, ...document.querySelectorAll('.content, .topbar, .rail, .strip')]
      .filter((e) => e.scrollWidth > e.clientWidth).map((e) => e.className || e.tagName),
  })), name).toEqual({ violations: [], overflow: [] });
  const { width, height } = page.viewportSize()!;
  await page.screenshot({ path: join(buildFolder, 'screenshots', `${name}-${width}x${height}.png`) });
}
