// Words the interface shows for the host's values.
import type { Component, Installation, Status } from './model';

export const statusText: Record<Status, string> = {
  notInstalled: 'Not installed',
  updateAvailable: 'Update available',
  installed: 'Installed',
};

export const primaryLabel: Record<Status, string> = {
  notInstalled: 'Install',
  updateAvailable: 'Update',
  installed: 'Reinstall',
};

const runningWords: Record<string, string> = {
  install: 'Installing',
  update: 'Updating',
  reinstall: 'Reinstalling',
  uninstall: 'Uninstalling',
};

/** "Installing Camera System": what the operation does, for its card and its announcement. */
export const operationTitle = (action: string, name: string): string => `${runningWords[action] ?? 'Working on'} ${name}`;

const generations: Record<string, string> = { msfs2024: 'MSFS 2024', msfs2020: 'MSFS 2020' };

export function compatibilityText(component: Component): string {
  if (component.simulators.length === 0) return 'Works with every simulator';
  return `Works with ${component.simulators.map((s) => generations[s] ?? s).join(' and ')}`;
}

export function installationName(installation: Installation): string {
  return installation.edition ? `${installation.name} · ${installation.edition}` : installation.name;
}

export function targetName(target: Installation): string {
  return target.id ? installationName(target) : 'No simulator selected';
}

/** The web host's origin, taken from the catalog's "Website" link (contact, privacy policy). */
export function webOrigin(links: { label: string; url: string }[]): string {
  const site = links.find((link) => link.label === 'Website');
  try {
    return site ? new URL(site.url).origin : '';
  } catch {
    return '';
  }
}
