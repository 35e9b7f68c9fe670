// Which buttons a card shows, where, and whether each can be pressed now. The slots follow the
// component's kind only, never its state, so that no button moves under the pointer: Launch
// and Stop keep a slot each, and a button whose action does not apply now stays in place,
// unavailable. A pressed button is pending until the snapshot that answers it and, with it, the
// whole card.
import { actionNames, type ActionName, type Component, type Status } from './model';
import { primaryLabel } from './text';

export interface Slot {
  action: ActionName;
  label: string;
  allowed: boolean;
  pending: boolean;
  /** Index into the card's reasons, or -1 when the button has none. */
  reason: number;
}

const labels: Record<Exclude<ActionName, 'install'>, string> = {
  uninstall: 'Uninstall', openFolder: 'Open folder', launch: 'Launch', stop: 'Stop', createShortcut: 'Create desktop shortcut',
};

const slotsOf: Record<Component['kind'], readonly ActionName[]> = {
  community: ['install', 'uninstall', 'openFolder'],
  application: ['install', 'uninstall', 'openFolder', 'launch', 'stop', 'createShortcut'],
  unknown: actionNames,
};

export const actionLabel = (action: ActionName, status: Status): string =>
  action === 'install' ? primaryLabel[status] : labels[action];

/** The card's slots in order, and its refusal reasons, each told once however many buttons it refuses. */
export function cardModel(component: Component, pending: ActionName | null): { slots: Slot[]; reasons: string[] } {
  const reasons: string[] = [];
  const slots = slotsOf[component.kind].map((action) => {
    const { allowed, reason } = component.actions[action];
    if (!allowed && reason && !reasons.includes(reason)) reasons.push(reason);
    return {
      action,
      label: actionLabel(action, component.status),
      allowed: allowed && pending === null,
      pending: action === pending,
      reason: allowed ? -1 : reasons.indexOf(reason),
    };
  });
  return { slots, reasons };
}
