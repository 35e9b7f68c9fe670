import { defineConfig } from '@playwright/test';

// Debian's Chromium, never a downloaded browser. HUB_BUILD names the build folder: the built
// interface is its "ui" folder and the screenshots go to its "screenshots" folder.
export default defineConfig({
  testDir: 'e2e',
  workers: 1,
  timeout: 120_000,
  reporter: [['list']],
  outputDir: `${process.env.HUB_BUILD ?? '../build'}/playwright-results`,
  use: {
    browserName: 'chromium',
    headless: true,
    launchOptions: {
      executablePath: '/usr/bin/chromium',
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
        '--disable-component-update', '--disable-sync', '--no-first-run'],
    },
  },
});
