import { defineConfig } from 'vitest/config';
import react from '@vitejs/plugin-react';

// The build goes to the "ui" folder beside the executable; CMake passes --outDir.
export default defineConfig({
  base: './',
  plugins: [react()],
  build: { outDir: '../build/ui', emptyOutDir: true, assetsInlineLimit: 0 },
  test: {
    environment: 'jsdom',
    include: ['src/**/*.test.{ts,tsx}'],
    setupFiles: ['./src/test-setup.ts'],
  },
});
