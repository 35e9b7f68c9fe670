// Words the interface shows for the host's values.
import type { Component, Installation, Operation, Snapshot, Status } from './model';

export const statusText: Record<Status, string> = {
  notInstalled: 'Not installed',
  updateAvailable: 'Update available',
  installed: 'Installed',
  unknown: 'Status unknown',
};

export const primaryLabel: Record<Status, string> = {
  notInstalled: 'Install',
  updateAvailable: 'Update',
  installed: 'Reinstall',
  unknown: 'Install',
};

export const kindText: Record<Component['kind'], string> = {
  application: 'Windows application',
  community: 'Community package',
  unknown: 'Component of an unknown kind',
};

const runningWords: Record<string, string> = {
  install: 'Installing',
  update: 'Updating',
  reinstall: 'Reinstalling',
  uninstall: 'Uninstalling',
};

/** "Installing Velmora · Camera System": what the operation does, for the status strip and its announcement. */
export const operationTitle = (action: string, title: string): string => `${runningWords[action] ?? 'Working on'} ${title}`;

/** "Velmora": the aircraft families a component belongs to. */
export const familyText = (snapshot: Snapshot, component: Component): string =>
  snapshot.sections.filter((s) => component.sections.includes(s.id)).map((s) => s.name).join(' · ');

/** "Velmora · Weapons Patch": several aircraft have a component of the same name. */
export const componentTitle = (snapshot: Snapshot, component: Component): string =>
  [familyText(snapshot, component), component.name].filter(Boolean).join(' · ');

/** An install can be cancelled until its new version is put in place; an uninstall never reads the cancel flag. */
export function cancelRefusal(operation: Operation): string {
  if (operation.cancellable) return '';
  return operation.action === 'uninstall' ? 'An uninstall cannot be cancelled.' : 'This step cannot be cancelled.';
}

function size(bytes: number): string {
  if (bytes < 1024 * 1024) return `${Math.round(bytes / 1024)} KB`;
  if (bytes < 1024 ** 3) return `${(bytes / 1024 ** 2).toFixed(1)} MB`;
  return `${(bytes / 1024 ** 3).toFixed(2)} GB`;
}

function duration(seconds: number): string {
  if (seconds < 60) return `${Math.max(1, Math.round(seconds))} s`;
  const minutes = Math.round(seconds / 60);
  return minutes < 60 ? `${minutes} min` : `${Math.floor(minutes / 60)} h ${minutes % 60} min`;
}

/**
 * "12.5 MB of 40.0 MB · 2.1 MB/s · about 13 s left", from the figures a download reports; empty
 * for the idle figures (nothing done, size unknown), which the host sends while none runs.
 */
export function downloadText({ bytesDone, bytesTotal, bytesPerSecond, secondsLeft }: Operation): string {
  if (bytesDone < 0 || (bytesDone === 0 && bytesTotal < 0)) return '';
  const parts = [bytesTotal >= 0 ? `${size(bytesDone)} of ${size(bytesTotal)}` : size(bytesDone)];
  if (bytesPerSecond > 0) parts.push(`${size(bytesPerSecond)}/s`);
  if (secondsLeft >= 0) parts.push(`about ${duration(secondsLeft)} left`);
  return parts.join(' · ');
}

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
